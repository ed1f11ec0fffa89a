// jscalar.cpp
//
// Scalars between PortDataScalar and SScalar.
#include "zelph/java/jscalar.h"

#include "bind_group.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/logger/timer.h"

using jni::bound;

JScalar::JScalar()
    : JData(jni::kScalarClass, bound.scalar.cls, bound.scalar.constructor,
            DataTypeScalar::GetInstance()) {}

void JScalar::WriteScalar(JNIEnv* env, jobject data, const PortDataScalar* scalar) {
  SetJavaDataFlags(env, data, scalar->GetFlags());
  if (!scalar->IsInitialized()) {
    SetJavaDataNotInitialized(env, data);
    return;
  }
  jni::LocalRef<jstring> text(env, jni::NewJavaString(env, scalar->GetStr()));
  env->CallVoidMethod(data, bound.scalar.set_value, text.get());
  jni::ThrowIfJavaException(env);
}

std::unique_ptr<PortDataScalar> JScalar::ReadScalar(JNIEnv* env, jobject data) {
  auto scalar = std::make_unique<PortDataScalar>();
  scalar->SetFlags(GetJavaDataFlags(env, data));
  if (!scalar->IsInitialized()) return scalar;
  zelph::Timer timer("JScalar::GetValue");
  jni::LocalRef<jstring> text(
      env, static_cast<jstring>(env->CallObjectMethod(data, bound.scalar.get_value)));
  jni::ThrowIfJavaException(env);
  if (text) scalar->Set(jni::JavaStringToUtf8(env, text.get()));
  return scalar;
}
