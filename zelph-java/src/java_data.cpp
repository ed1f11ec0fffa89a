// java_data.cpp
//
// JData, the wrapper factory, the Java DataType kinds and the small Data calls.
#include "zelph/java/java_data.h"

#include <boost/uuid/uuid.hpp>

#include "bind_group.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jnumbers.h"
#include "zelph/java/jscalar.h"
#include "zelph/java/jsmat.h"
#include "zelph/logger/log.h"
#include "zelph/plugins/simple_plugins_manager.h"

using jni::bound;

JData::JData(const char* class_name, jclass cls, jmethodID constructor, IDataType* type)
    : JavaClass(class_name, cls, constructor), type_(type) {}

std::unique_ptr<JData> CreateJavaDataWrapper(const IDataType* type) {
  if (type != nullptr && DataTypeMat::Equals(type)) return std::make_unique<JSMat>();
  if (type != nullptr && DataTypeScalar::Equals(type)) return std::make_unique<JScalar>();
  if (type != nullptr && DataTypeNumbers::Equals(type)) return std::make_unique<JNumbers>();
  ZELPH_LOG(ZelphSeverityLevel::kError, "Unknown data type: '{}'",
            type != nullptr ? type->GetName() : "");
  return nullptr;
}

void InitializeJDataTypeClass(JNIEnv* env) {
  jni::BindGroup(env, bound.data_type, jni::kDataTypeClass, [&](jclass cls) {
    jni::DataTypeClass& group = bound.data_type;
    jni::GetJavaMethodId(env, cls, "typeName", "java/lang/String");
    jni::GetJavaMethodId(env, cls, "uuid", "java/util/UUID");
    group.of_type_name = jni::GetJavaStaticMethodId(env, cls, "ofTypeName", jni::kDataTypeClass,
                                                    {"java/lang/String"});
    group.uuid = jni::GetJavaFieldId(env, cls, "uuid", "java/util/UUID");
    jni::GetJavaFieldId(env, cls, "typeName", "java/lang/String");
    if (group.mat == nullptr) group.mat = JavaDataTypeOfName(env, "mat");
    if (group.scalar == nullptr) group.scalar = JavaDataTypeOfName(env, "scalar");
    if (group.numbers == nullptr) group.numbers = JavaDataTypeOfName(env, "numbers");
  });
}

jobject JavaDataTypeOfName(JNIEnv* env, const char* name) {
  jni::LocalRef<jstring> text(env, jni::NewJavaString(env, name));
  jni::LocalRef<> kind(env, env->CallStaticObjectMethod(bound.data_type.cls,
                                                        bound.data_type.of_type_name, text.get()));
  jni::ThrowIfJavaException(env);
  return env->NewGlobalRef(kind.get());
}

jobject JavaDataTypeOf(const IDataType* type) {
  if (type == nullptr) return nullptr;
  if (DataTypeMat::Equals(type)) return bound.data_type.mat;
  if (DataTypeScalar::Equals(type)) return bound.data_type.scalar;
  if (DataTypeNumbers::Equals(type)) return bound.data_type.numbers;
  return nullptr;
}

IDataType* GetNativeDataType(JNIEnv* env, jobject data) {
  jni::LocalRef<> kind(env, env->CallObjectMethod(data, bound.data.type));
  jni::ThrowIfJavaException(env);
  if (!kind) return nullptr;
  // The Java kinds are single objects: the three that cross are known without their uuid.
  if (env->IsSameObject(kind.get(), bound.data_type.mat)) return DataTypeMat::GetInstance();
  if (env->IsSameObject(kind.get(), bound.data_type.scalar)) return DataTypeScalar::GetInstance();
  if (env->IsSameObject(kind.get(), bound.data_type.numbers)) {
    return DataTypeNumbers::GetInstance();
  }
  jni::LocalRef<> java_uuid(env, env->GetObjectField(kind.get(), bound.data_type.uuid));
  if (!java_uuid) return nullptr;
  const jlong halves[2] = {env->GetLongField(java_uuid.get(), bound.uuid.most_sig_bits),
                           env->GetLongField(java_uuid.get(), bound.uuid.least_sig_bits)};
  boost::uuids::uuid uuid{};
  for (int byte = 0; byte < 16; ++byte) {
    const auto half = static_cast<unsigned long long>(halves[byte / 8]);
    uuid.data[byte] = static_cast<uint8_t>(half >> (8 * (7 - byte % 8)));
  }
  return SimplePluginsManager::GetInstance()->FindDataType(uuid);
}

long long GetJavaDataFlags(JNIEnv* env, jobject data) {
  const jlong flags = env->CallLongMethod(data, bound.data.get_flags);
  jni::ThrowIfJavaException(env);
  return flags;
}

void SetJavaDataFlags(JNIEnv* env, jobject data, long long flags) {
  env->CallVoidMethod(data, bound.data.set_flags, static_cast<jlong>(flags));
  jni::ThrowIfJavaException(env);
}

void SetJavaDataNotInitialized(JNIEnv* env, jobject data) {
  env->CallVoidMethod(data, bound.data.set_initialized, JNI_FALSE);
  jni::ThrowIfJavaException(env);
}

jobjectArray GetVisibleResultPorts(JNIEnv* env, jobject information) {
  auto ports = static_cast<jobjectArray>(
      env->CallObjectMethod(information, bound.visible_results.get_ports));
  jni::ThrowIfJavaException(env);
  return ports;
}
