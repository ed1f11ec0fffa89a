// jparameters.cpp
//
// JParameters: defaults into the bag, changed entries into Java.
#include "zelph/java/jparameters.h"

#include <string_view>

#include "bind_group.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_exception.h"
#include "zelph/java/java_text.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/property_keys.h"

using jni::bound;

namespace {

bool NeverPushed(const std::string& name) {
  return name == zelph::sys::kEnabled || name == zelph::sys::kName ||
         name.find("__tmp.") != std::string::npos;
}

// Calls a setter of the parameters object (which returns the object itself).
template <typename Value>
void CallSetter(JNIEnv* env, jobject parameters, jmethodID setter, const std::string& name,
                Value value) {
  jni::LocalRef<jstring> key(env, jni::NewJavaString(env, name));
  jni::LocalRef<> same(env, env->CallObjectMethod(parameters, setter, key.get(), value));
  jni::ThrowIfJavaException(env);
}

}  // namespace

JParameters::JParameters(Property* properties, IDataProcess* worker)
    : JavaClass(jni::kParametersClass, bound.parameters.cls, nullptr),
      properties_(properties),
      worker_(worker) {}

void JParameters::SetExecutor(jobject executor, jmethodID on_change_parameter) {
  executor_ = executor;
  on_change_parameter_ = on_change_parameter;
}

void JParameters::InitializeDefaults(const zelph::BaseModelStructure& structure) {
  for (const zelph::BaseControl& control : structure.GetControls()) {
    properties_->SetValue(control.GetName(), control.GetDefault());
  }
}

void JParameters::PushChangedProperties(JNIEnv* env) {
  if (GetObject() == nullptr || executor_ == nullptr || on_change_parameter_ == nullptr) return;
  std::scoped_lock turn(push_mutex_);
  properties_->ForEachChanged([&](const std::string& name, PropertyValue& value) {
    return OnChangeParameter(env, name, value);
  });
}

bool JParameters::OnChangeParameter(JNIEnv* env, const std::string& name,
                                    const PropertyValue& value) {
  if (NeverPushed(name)) return true;
  if (!SetParameter(env, name, value.value)) return false;
  try {
    zelph::Timer timer("JExecutionBlock::OnChangeParameter");
    jni::LocalRef<jstring> key(env, jni::NewJavaString(env, name));
    env->CallVoidMethod(executor_, on_change_parameter_, key.get());
    jni::ThrowIfJavaException(env);
  } catch (const jni::JavaException& error) {
    worker_->SetError(ErrorKind::kUpdateProperty, error.GetJavaMessage(), error.what(),
                      error.GetJavaClassName());
    return false;
  } catch (const std::exception& error) {
    worker_->SetError(ErrorKind::kUpdateProperty, error.what(), "", "");
    return false;
  }
  return true;
}

bool JParameters::SetParameter(JNIEnv* env, const std::string& name, const PropertyVariant& value) {
  try {
    if (const bool* flag = std::get_if<bool>(&value)) return SetBoolean(env, name, *flag);
    if (const int* number = std::get_if<int>(&value)) {
      zelph::Timer timer("SetInteger");
      ZELPH_LOG(ZelphSeverityLevel::kTrace, "Update property name={}, val={}",
                zelph::QuoteClientText(name), *number);
      CallSetter(env, GetObject(), bound.parameters.set_integer, name, static_cast<jint>(*number));
    } else if (const long long* wide = std::get_if<long long>(&value)) {
      zelph::Timer timer("SetLong");
      ZELPH_LOG(ZelphSeverityLevel::kTrace, "Update property name={}, val={}",
                zelph::QuoteClientText(name), *wide);
      CallSetter(env, GetObject(), bound.parameters.set_long, name, static_cast<jlong>(*wide));
    } else if (const double* real = std::get_if<double>(&value)) {
      zelph::Timer timer("SetDouble");
      ZELPH_LOG(ZelphSeverityLevel::kTrace, "Update property name={}, val={}",
                zelph::QuoteClientText(name), *real);
      CallSetter(env, GetObject(), bound.parameters.set_double, name, static_cast<jdouble>(*real));
    } else if (const std::string* text = std::get_if<std::string>(&value)) {
      zelph::Timer timer("SetString");
      ZELPH_LOG(ZelphSeverityLevel::kTrace, "Update property name={}, val={}",
                zelph::QuoteClientText(name), zelph::QuoteClientText(*text));
      jni::LocalRef<jstring> java_text(env, jni::NewJavaString(env, *text));
      CallSetter(env, GetObject(), bound.parameters.set_string, name,
                 static_cast<jobject>(java_text.get()));
    }
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed update property: {}, error: {}",
              zelph::QuoteClientText(name), error.what());
    return false;
  }
  return true;
}

bool JParameters::SetBoolean(JNIEnv* env, const std::string& name, bool value) {
  try {
    zelph::Timer timer("SetBoolean");
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "Update property name={}, val={}",
              zelph::QuoteClientText(name), value);
    CallSetter(env, GetObject(), bound.parameters.set_boolean, name,
               static_cast<jboolean>(value ? JNI_TRUE : JNI_FALSE));
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed update property: {}, error: {}",
              zelph::QuoteClientText(name), error.what());
    return false;
  }
  return true;
}
