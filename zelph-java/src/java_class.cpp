// java_class.cpp
//
// JavaClass: the object's global reference, instance creation and the lookup record.
#include "zelph/java/java_class.h"

#include <algorithm>
#include <utility>

#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"
#include "zelph/java/jvm.h"
#include "zelph/logger/log.h"

JavaClass::JavaClass(std::string class_name, jclass cls, jmethodID constructor)
    : constructor_(constructor), class_(cls), class_name_(std::move(class_name)) {}

JavaClass::~JavaClass() {
  if (object_ == nullptr) return;
  if (JNIEnv* env = jni::GetJniEnv()) env->DeleteGlobalRef(object_);
}

void JavaClass::InitializeMethods(JNIEnv*) {}

void JavaClass::SetObject(JNIEnv* env, jobject object) {
  if (object_ != nullptr) env->DeleteGlobalRef(object_);
  object_ = object != nullptr ? env->NewGlobalRef(object) : nullptr;
}

jobject JavaClass::GetObject() const { return object_; }

jobject JavaClass::CreateInstance(JNIEnv* env) {
  if (class_ == nullptr || constructor_ == nullptr || object_ != nullptr) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "What going on here?");
    return object_;
  }
  jni::LocalRef<> object(env, env->NewObject(class_, constructor_));
  jni::ThrowIfJavaException(env);
  if (object) object_ = env->NewGlobalRef(object.get());
  return object_;
}

void JavaClass::SetConstructor(jmethodID constructor) { constructor_ = constructor; }

jmethodID JavaClass::GetMethodId(JNIEnv* env, const char* name, const char* return_type,
                                 std::initializer_list<const char*> argument_types) {
  if (class_ == nullptr) {
    lookups_.push_back(false);
    return nullptr;
  }
  jmethodID method = jni::GetJavaMethodId(env, class_, name, return_type, argument_types);
  lookups_.push_back(method != nullptr);
  return method;
}

bool JavaClass::MethodsInitialized() const {
  return std::all_of(lookups_.begin(), lookups_.end(), [](bool found) { return found; });
}
