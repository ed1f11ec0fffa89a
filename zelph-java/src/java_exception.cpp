// java_exception.cpp
//
// Conversion of a pending Java exception into jni::JavaException.
#include "zelph/java/java_exception.h"

#include <fmt/format.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "zelph/java/java_bindings.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"

namespace jni {
namespace {

// Causes described at most; a longer chain is cut there.
constexpr int kMaxDescribedExceptions = 64;

// The Throwable members the conversion calls. Their classes come from the boot class loader
// and are never unloaded, so the IDs stay valid without a reference to any class.
struct ThrowableMethods {
  jmethodID get_cause = nullptr;
  jmethodID get_stack_trace = nullptr;
  jmethodID to_string = nullptr;
  jmethodID get_message = nullptr;
  jmethodID element_to_string = nullptr;
  jmethodID class_get_name = nullptr;
};

// A JDK class as a local reference. Fails with std::runtime_error, never with a
// JavaException: making one needs the members this look-up is about to find.
LocalRef<jclass> JdkClass(JNIEnv* env, const char* name) {
  LocalRef<jclass> cls(env, env->FindClass(name));
  if (!cls) {
    env->ExceptionClear();
    throw std::runtime_error(fmt::format("Java class '{}' cannot be loaded", name));
  }
  return cls;
}

ThrowableMethods LookUpThrowableMethods(JNIEnv* env) {
  ThrowableMethods methods;
  const LocalRef<jclass> throwable = JdkClass(env, "java/lang/Throwable");
  methods.get_cause =
      GetMethodIdBySignature(env, throwable.get(), "getCause", "()Ljava/lang/Throwable;");
  methods.get_stack_trace = GetMethodIdBySignature(env, throwable.get(), "getStackTrace",
                                                   "()[Ljava/lang/StackTraceElement;");
  methods.to_string =
      GetMethodIdBySignature(env, throwable.get(), "toString", "()Ljava/lang/String;");
  methods.get_message =
      GetMethodIdBySignature(env, throwable.get(), "getMessage", "()Ljava/lang/String;");
  const LocalRef<jclass> element = JdkClass(env, "java/lang/StackTraceElement");
  methods.element_to_string =
      GetMethodIdBySignature(env, element.get(), "toString", "()Ljava/lang/String;");
  const LocalRef<jclass> class_class = JdkClass(env, "java/lang/Class");
  methods.class_get_name =
      GetMethodIdBySignature(env, class_class.get(), "getName", "()Ljava/lang/String;");
  return methods;
}

// Looked up by the first conversion of the process. A look-up that throws leaves the members
// unset, and the next conversion tries again.
const ThrowableMethods& Methods(JNIEnv* env) {
  static const ThrowableMethods methods = LookUpThrowableMethods(env);
  return methods;
}

// Calls a method that returns an object. The conversion may meet a second failure (an
// OutOfMemoryError while describing the first); it is cleared and the result counts as null.
jobject CallQuietly(JNIEnv* env, jobject object, jmethodID method) {
  jobject result = env->CallObjectMethod(object, method);
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    if (result != nullptr) env->DeleteLocalRef(result);
    return nullptr;
  }
  return result;
}

std::string TextOf(JNIEnv* env, jobject object, jmethodID method) {
  LocalRef<jstring> text(env, static_cast<jstring>(CallQuietly(env, object, method)));
  return JavaStringToUtf8(env, text.get());
}

// The exception's toString() and frames, then those of each cause, until a cause repeats.
std::string TraceText(JNIEnv* env, const ThrowableMethods& methods, jobject first) {
  std::string text;
  std::vector<LocalRef<>> described;
  LocalRef<> current(env, env->NewLocalRef(first));
  while (current && described.size() < kMaxDescribedExceptions) {
    for (const LocalRef<>& seen : described) {
      if (env->IsSameObject(seen.get(), current.get())) return text;
    }
    LocalRef<jobjectArray> frames(
        env, static_cast<jobjectArray>(CallQuietly(env, current.get(), methods.get_stack_trace)));
    if (!frames) break;
    if (!text.empty()) text += "\nCaused by: ";
    text += TextOf(env, current.get(), methods.to_string);
    const jsize count = env->GetArrayLength(frames.get());
    for (jsize i = 0; i < count; ++i) {
      LocalRef<> frame(env, env->GetObjectArrayElement(frames.get(), i));
      text += "\n    ";
      text += TextOf(env, frame.get(), methods.element_to_string);
    }
    LocalRef<> cause(env, CallQuietly(env, current.get(), methods.get_cause));
    described.push_back(std::move(current));
    current = std::move(cause);
  }
  return text;
}

}  // namespace

JavaException::Texts JavaException::Take(JNIEnv* env) {
  LocalRef<jthrowable> pending(env, env->ExceptionOccurred());
  env->ExceptionClear();
  Texts texts;
  const ThrowableMethods& methods = Methods(env);
  if (!pending) return texts;

  LocalRef<> chosen(env, env->NewLocalRef(pending.get()));
  if (bound.io_error.cls != nullptr && env->IsInstanceOf(pending.get(), bound.io_error.cls)) {
    LocalRef<> cause(env, CallQuietly(env, pending.get(), methods.get_cause));
    if (cause) chosen = std::move(cause);
  }
  texts.trace = TraceText(env, methods, chosen.get());
  LocalRef<jclass> cls(env, env->GetObjectClass(chosen.get()));
  texts.class_name = TextOf(env, cls.get(), methods.class_get_name);
  LocalRef<jstring> message(
      env, static_cast<jstring>(CallQuietly(env, chosen.get(), methods.get_message)));
  texts.message = message ? JavaStringToUtf8(env, message.get()) : texts.class_name;
  return texts;
}

JavaException::JavaException(JNIEnv* env) : JavaException(Take(env)) {}

JavaException::JavaException(Texts texts)
    : std::runtime_error(texts.trace),
      java_message_(std::move(texts.message)),
      java_class_name_(std::move(texts.class_name)) {}

JavaException::JavaException(JavaException&& other) noexcept
    : std::runtime_error(other),
      java_message_(std::exchange(other.java_message_, {})),
      java_class_name_(std::exchange(other.java_class_name_, {})) {}

JavaException& JavaException::operator=(JavaException&& other) noexcept {
  std::runtime_error::operator=(other);
  java_message_ = std::exchange(other.java_message_, {});
  java_class_name_ = std::exchange(other.java_class_name_, {});
  return *this;
}

void ThrowIfJavaException(JNIEnv* env) {
  if (env->ExceptionCheck()) throw JavaException(env);
}

}  // namespace jni
