// jparameters.h
//
// JParameters: the native side of a Java worker's parameters object. It pushes the worker's
// changed settings (entries of its property bag marked changed) into the Java model: each to
// the Java setter of its type (setBoolean, setInteger, setLong, setDouble, setString), then to
// the model's onChangeParameter(name). A pushed entry loses its mark; one whose setter or
// onChangeParameter failed keeps it and is pushed again next time. Keys "$__system.enabled",
// "$__system.name" and every key containing "__tmp." never reach Java (their marks are
// cleared).
//
//   JParameters parameters(worker->GetProperties(), worker);
//   parameters.InitializeDefaults(worker->GetStructure());    // every default, marked
//   parameters.SetObject(env, java_parameters);               // the model's parameters()
//   parameters.SetExecutor(executor, on_change_parameter_id);
//   parameters.PushChangedProperties(env);
//
// Failures: a setter that throws is logged ("Failed update property: {}, error: {}") and
// leaves no worker error; an onChangeParameter that throws records the worker's error of kind
// update_property. Neither stops the push or reaches its caller.
//
// Threads: pushes run on the thread that runs the worker and on threads that apply its
// properties; pushes of one worker take turns, so no entry reaches Java twice. A push holds
// the bag's lock in shared mode throughout, Java calls included: stores into the bag wait.
#pragma once

#include <jni.h>

#include <mutex>
#include <string>

#include "zelph/java/java_class.h"
#include "zelph/model/data_process.h"
#include "zelph/model/model_structure.h"
#include "zelph/model/property.h"

class JParameters : public JavaClass {
 public:
  // Neither is owned; both outlive this object (the worker owns it).
  JParameters(Property* properties, IDataProcess* worker);

  // The bag that a worker installed in place of the old one. Not while a push runs.
  void SetProperties(Property* properties) { properties_ = properties; }
  // The model object notified of changes and its onChangeParameter(String) method; the
  // worker owns the reference.
  void SetExecutor(jobject executor, jmethodID on_change_parameter);

  // Stores every control's default under the control's name, marked changed.
  void InitializeDefaults(const zelph::BaseModelStructure& structure);
  // Pushes every marked entry in key order. Does nothing before the Java parameters object
  // and the executor are set.
  void PushChangedProperties(JNIEnv* env);

  // The push of one entry: true when it reached Java (or is a key that never goes there).
  bool OnChangeParameter(JNIEnv* env, const std::string& name, const PropertyValue& value);
  // The Java setter call for one value; false (after logging) when it failed.
  bool SetParameter(JNIEnv* env, const std::string& name, const PropertyVariant& value);
  bool SetBoolean(JNIEnv* env, const std::string& name, bool value);

 private:
  Property* properties_;
  IDataProcess* worker_;
  jobject executor_ = nullptr;
  jmethodID on_change_parameter_ = nullptr;
  std::mutex push_mutex_;
};
