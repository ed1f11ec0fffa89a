// jport.cpp
//
// JPort: the Java port object and the two crossings of data.
#include "zelph/java/jport.h"

#include <cctype>
#include <stdexcept>
#include <utility>

#include "bind_group.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_data.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jnumbers.h"
#include "zelph/java/jscalar.h"
#include "zelph/java/jsmat.h"
#include "zelph/java/jvm.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"

using jni::bound;

namespace {

// 1 for the input kinds, 2 for the output kinds, 0 (none) for unknown.
int PortTypeCode(zelph::PortType type) {
  switch (type) {
    case zelph::PortType::input:
    case zelph::PortType::input_control:
      return 1;
    case zelph::PortType::output:
    case zelph::PortType::output_control:
      return 2;
    default:
      return 0;
  }
}

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in hexadecimal digits.
bool IsUuidText(const std::string& text) {
  if (text.size() != 36) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

// Calls a builder-style setter of the Java port (which returns the port itself).
template <typename... Arguments>
void CallPortSetter(JNIEnv* env, jobject port, jmethodID setter, Arguments... arguments) {
  jni::LocalRef<> same_port(env, env->CallObjectMethod(port, setter, arguments...));
  jni::ThrowIfJavaException(env);
}

}  // namespace

void InitializeJPortClass(JNIEnv* env) {
  jni::BindGroup(env, bound.port, jni::kPortClass, [&](jclass cls) {
    jni::PortClass& group = bound.port;
    const char* kPort = jni::kPortClass;
    group.constructor = jni::GetMethodIdBySignature(env, cls, "<init>", "()V");
    group.set_name = jni::GetJavaMethodId(env, cls, "setName", kPort, {"java/lang/String"});
    group.set_data = jni::GetJavaMethodId(env, cls, "setData", kPort, {jni::kDataClass});
    group.set_port_type_code = jni::GetJavaMethodId(env, cls, "setPortTypeCode", kPort, {"I"});
    jni::GetJavaMethodId(env, cls, "setDataType", kPort, {jni::kDataTypeClass});
    group.set_connected = jni::GetJavaMethodId(env, cls, "setConnected", kPort, {"Z"});
    group.set_uuid = jni::GetJavaMethodId(env, cls, "setUuid", kPort, {"java/util/UUID"});
    jni::GetJavaFieldId(env, cls, "connected", "Z");
    jni::GetJavaFieldId(env, cls, "name", "java/lang/String");
    group.data = jni::GetJavaFieldId(env, cls, "data", jni::kDataClass);
    group.data_type = jni::GetJavaFieldId(env, cls, "dataType", jni::kDataTypeClass);
  });
}

JPort::JPort(const zelph::Port& port)
    : zelph::Port(port), JavaClass(jni::kPortClass, bound.port.cls, bound.port.constructor) {}

JPort::~JPort() {
  if (!java_views_native_matrix_) return;
  JNIEnv* env = jni::GetJniEnv();
  if (env == nullptr) return;
  try {
    DetachNativeView(env);
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed to detach the Java view of {}: {}", ToString(),
              error.what());
  }
}

void JPort::SetData(std::shared_ptr<IPortData> data) {
  JNIEnv* env = IsValid() ? jni::GetJniEnv() : nullptr;
  if (env != nullptr) DetachNativeView(env);
  zelph::Port::SetData(std::move(data));
  if (env != nullptr) WriteData(env);
}

void JPort::ResetData() {
  if (JNIEnv* env = jni::GetJniEnv()) ResetJavaData(env);
}

void JPort::SetId(const std::string& id) {
  zelph::Port::SetId(id);
  if (GetObject() == nullptr) return;
  if (JNIEnv* env = jni::GetJniEnv()) SetJavaUuid(env, id);
}

void JPort::SetObject(JNIEnv* env, jobject port) {
  JavaClass::SetObject(env, port);
  if (port == nullptr) return;
  jni::LocalRef<> data(env, GetJavaData(env, GetObject()));
  if (data) return;
  if (std::unique_ptr<JData> wrapper = CreateJavaDataWrapper(GetDataType())) {
    SetData(env, wrapper->CreateInstance(env));
  }
}

jobject JPort::CreateInstance(JNIEnv* env) {
  JavaClass::CreateInstance(env);
  jobject port = GetObject();
  if (port == nullptr) throw std::runtime_error("Failed create instance of JPort");
  {
    zelph::Timer timer("JPort::SetName");
    jni::LocalRef<jstring> name(env, jni::NewJavaString(env, GetName()));
    CallPortSetter(env, port, bound.port.set_name, name.get());
  }
  if (const int code = PortTypeCode(GetType())) SetPortTypeCode(env, code);
  SetJavaUuid(env, GetId());
  if (!bound.data_type.bound) InitializeJDataTypeClass(env);
  if (jobject kind = JavaDataTypeOf(GetDataType())) {
    SetJavaDataType(env, kind);
  } else {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported data type '{}'",
              GetDataType() != nullptr ? GetDataType()->GetName() : "");
  }
  if (std::unique_ptr<JData> wrapper = CreateJavaDataWrapper(GetDataType())) {
    DetachNativeView(env);
    SetData(env, wrapper->CreateInstance(env));
  }
  return port;
}

int JPort::QueryInterface(const boost::uuids::uuid&, void**) { return 1; }

void JPort::SetConnected(JNIEnv* env, bool connected) {
  if (GetObject() == nullptr) return;
  zelph::Timer timer("JPort::SetConnected");
  CallPortSetter(env, GetObject(), bound.port.set_connected,
                 static_cast<jboolean>(connected ? JNI_TRUE : JNI_FALSE));
}

void JPort::SetData(JNIEnv* env, jobject data) {
  zelph::Timer timer("JPort::SetData");
  CallPortSetter(env, GetObject(), bound.port.set_data, data);
}

void JPort::SetPortTypeCode(JNIEnv* env, int code) {
  zelph::Timer timer("JPort::SetPortTypeCode");
  CallPortSetter(env, GetObject(), bound.port.set_port_type_code, static_cast<jint>(code));
}

void JPort::SetJavaDataType(JNIEnv* env, jobject data_type) {
  env->SetObjectField(GetObject(), bound.port.data_type, data_type);
}

void JPort::SetJavaUuid(JNIEnv* env, const std::string& id) {
  if (!IsUuidText(id)) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning,
              "Port id '{}' is not a uuid: the Java port keeps its uuid ({})",
              zelph::QuoteClientText(id), ToString());
    return;
  }
  jni::LocalRef<jstring> text(env, jni::NewJavaString(env, id));
  jni::LocalRef<> uuid(
      env, env->CallStaticObjectMethod(bound.uuid.cls, bound.uuid.from_string, text.get()));
  jni::ThrowIfJavaException(env);
  CallPortSetter(env, GetObject(), bound.port.set_uuid, uuid.get());
}

jobject JPort::GetJavaData(JNIEnv* env, jobject port) {
  return env->GetObjectField(port, bound.port.data);
}

void JPort::ResetJavaData(JNIEnv* env) {
  DetachNativeView(env);
  zelph::Port::ResetData();
  if (GetObject() == nullptr) return;
  jni::LocalRef<> data(env, GetJavaData(env, GetObject()));
  if (data) SetJavaDataNotInitialized(env, data.get());
}

void JPort::WriteData(JNIEnv* env) {
  const std::shared_ptr<IPortData> native = GetData();
  if (!native || GetObject() == nullptr) return;
  jni::LocalRef<> data(env, GetJavaData(env, GetObject()));
  if (!data) return;
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "WriteData flags: {}, port: {}", native->GetFlags(),
            ToString());
  const IDataType* java_type = GetNativeDataType(env, data.get());
  const IDataType* native_type = native->GetDataType();
  if (java_type == nullptr || native_type == nullptr || !java_type->Equals(native_type)) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Not expected type! Probably wrong usage extern API ({}), (java type: {}), "
              "(native type: {})",
              ToString(), java_type != nullptr ? java_type->GetName() : "unknown",
              native_type != nullptr ? native_type->GetName() : "unknown");
    return;
  }
  if (DataTypeScalar::Equals(native_type)) {
    JScalar::WriteScalar(env, data.get(), CastToScalar(native.get()));
  } else if (DataTypeNumbers::Equals(native_type)) {
    JNumbers::WriteNumbers(env, data.get(), CastToNumbers(native.get()));
  } else if (DataTypeMat::Equals(native_type)) {
    const PortDataMat* mat = CastToMat(native.get());
    JSMat::WriteMat(env, data.get(), mat);
    java_views_native_matrix_ = mat->IsInitialized();
  }
}

void JPort::ReadData(JNIEnv* env) {
  if (GetObject() == nullptr) return;
  jni::LocalRef<> data(env, GetJavaData(env, GetObject()));
  if (!data) return;
  const IDataType* type = GetNativeDataType(env, data.get());
  std::shared_ptr<IPortData> read;
  if (type != nullptr && DataTypeScalar::Equals(type)) {
    read = JScalar::ReadScalar(env, data.get());
  } else if (type != nullptr && DataTypeNumbers::Equals(type)) {
    read = JNumbers::ReadNumbers(env, data.get());
  } else if (type != nullptr && DataTypeMat::Equals(type)) {
    read = JSMat::ReadMat(env, data.get());
  } else {
    return;
  }
  DetachNativeView(env);
  zelph::Port::SetData(std::move(read));
  if (const std::shared_ptr<IPortData> now = GetData()) {
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "ReadData flags: {}, port: {}", now->GetFlags(),
              ToString());
  }
}

void JPort::DetachNativeView(JNIEnv* env) {
  if (!java_views_native_matrix_) return;
  java_views_native_matrix_ = false;
  jni::LocalRef<> data(env, GetJavaData(env, GetObject()));
  if (data) JSMat::DetachBuffer(env, data.get());
}
