// jni_lookup.cpp
//
// Class, field and method lookups with checked failures, the signature builder, class names.
#include "zelph/java/jni_lookup.h"

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>

#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"

namespace jni {
namespace {

// A failed lookup raises NoSuchMethodError or NoSuchFieldError along with its null result;
// the lookups report the failure by exception, so the Java error must not stay pending.
void ClearPendingError(JNIEnv* env) {
  if (env->ExceptionCheck()) env->ExceptionClear();
}

bool IsDescriptor(std::string_view type) {
  return type.size() >= 2 && (type.front() == 'L' || type.front() == '[') && type.back() == ';';
}

void AppendMethodType(std::string& signature, const char* type) {
  const std::string_view text(type);
  if (text.size() <= 2 || IsDescriptor(text)) {
    signature += text;
  } else {
    signature += 'L';
    signature += text;
    signature += ';';
  }
}

[[noreturn]] void ThrowMethodNotFound(const char* name, const std::string& signature) {
  throw std::runtime_error(
      fmt::format("Java method not found '{}' with signature '{}'", name, signature));
}

}  // namespace

jclass FindJavaClass(JNIEnv* env, const char* name) {
  std::string internal_name(name);
  std::replace(internal_name.begin(), internal_name.end(), '.', '/');
  if (jclass cls = env->FindClass(internal_name.c_str())) return cls;
  ThrowIfJavaException(env);
  throw std::runtime_error(fmt::format("Java class '{}' cannot be loaded", name));
}

jclass FindGlobalJavaClass(JNIEnv* env, const char* name) {
  LocalRef<jclass> local(env, FindJavaClass(env, name));
  return static_cast<jclass>(env->NewGlobalRef(local.get()));
}

std::string NormalizeJavaType(const char* type) {
  const std::string_view text(type);
  if (text.size() == 1 || (text.size() >= 2 && text.front() == 'L' && text.back() == ';')) {
    return std::string(text);
  }
  return fmt::format("L{};", text);
}

std::string JavaMethodSignature(const char* return_type,
                                std::initializer_list<const char*> argument_types) {
  std::string signature = "(";
  for (const char* type : argument_types) AppendMethodType(signature, type);
  signature += ')';
  if (return_type == nullptr) {
    signature += 'V';
  } else {
    AppendMethodType(signature, return_type);
  }
  return signature;
}

jfieldID GetJavaFieldId(JNIEnv* env, jclass cls, const char* name, const char* type) {
  if (type == nullptr) throw std::runtime_error(fmt::format("Java field not found '{}'", name));
  if (jfieldID field = env->GetFieldID(cls, name, NormalizeJavaType(type).c_str())) return field;
  ClearPendingError(env);
  throw std::runtime_error(
      fmt::format("Java field not found '{}' with signature '{}'", name, type));
}

jmethodID GetJavaMethodId(JNIEnv* env, jclass cls, const char* name, const char* return_type,
                          std::initializer_list<const char*> argument_types) {
  const std::string signature = JavaMethodSignature(return_type, argument_types);
  return GetMethodIdBySignature(env, cls, name, signature.c_str());
}

jmethodID GetJavaStaticMethodId(JNIEnv* env, jclass cls, const char* name, const char* return_type,
                                std::initializer_list<const char*> argument_types) {
  const std::string signature = JavaMethodSignature(return_type, argument_types);
  return GetStaticMethodIdBySignature(env, cls, name, signature.c_str());
}

jmethodID GetMethodIdBySignature(JNIEnv* env, jclass cls, const char* name, const char* signature) {
  if (jmethodID method = env->GetMethodID(cls, name, signature)) return method;
  ClearPendingError(env);
  ThrowMethodNotFound(name, signature);
}

jmethodID GetStaticMethodIdBySignature(JNIEnv* env, jclass cls, const char* name,
                                       const char* signature) {
  if (jmethodID method = env->GetStaticMethodID(cls, name, signature)) return method;
  ClearPendingError(env);
  ThrowMethodNotFound(name, signature);
}

std::string JavaClassName(JNIEnv* env, jobject object) {
  LocalRef<jclass> cls(env, env->GetObjectClass(object));
  LocalRef<jclass> class_class(env, env->GetObjectClass(cls.get()));
  const jmethodID get_name =
      GetMethodIdBySignature(env, class_class.get(), "getName", "()Ljava/lang/String;");
  LocalRef<jstring> name(env, static_cast<jstring>(env->CallObjectMethod(cls.get(), get_name)));
  ThrowIfJavaException(env);
  return JavaStringToUtf8(env, name.get());
}

void SetByteBufferOrder(JNIEnv* env, jobject buffer, jobject order) {
  LocalRef<> same_buffer(env, env->CallObjectMethod(buffer, bound.byte_buffer.order, order));
  ThrowIfJavaException(env);
}

}  // namespace jni
