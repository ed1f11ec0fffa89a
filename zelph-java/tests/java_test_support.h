// java_test_support.h
//
// What the Java tests and benchmarks do in Java without a Java worker: make executors of the
// test models, give them native ports, run them, and call test helpers.
//
//   EchoRig echo(env);
//   std::shared_ptr<IPortData> back = echo.RoundTrip(input);  // to Java and back
#pragma once

#include <jni.h>

#include <functional>
#include <memory>
#include <string>

#include "zelph/java/java_exception.h"
#include "zelph/java/jport.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port_data.h"

namespace zelph::testing {

// The calling thread's environment; fails the test when there is none.
JNIEnv* Env();

// ExecutionBlock.newExecutor(null, <description naming the class>) as a global reference.
jobject NewExecutor(JNIEnv* env, const std::string& java_class);
void DeleteExecutor(JNIEnv* env, jobject executor);
void Execute(JNIEnv* env, jobject executor);

// A port of the given kind with its Java port made, added to `executor` when one is given.
std::unique_ptr<JPort> NewJavaPort(JNIEnv* env, zelph::PortType type, const std::string& name,
                                   IDataType* data_type, jobject executor = nullptr);

// A static method of the test class net/morvex/executors/tests/<class_name>.
struct TestStatic {
  jclass cls;  // a local reference the caller deletes
  jmethodID method;
};
TestStatic FindTestStatic(JNIEnv* env, const char* class_name, const char* method,
                          const char* signature);
// Calls a static method of a test class that returns an object (a local reference).
template <typename... Arguments>
jobject CallTestStatic(JNIEnv* env, const char* class_name, const char* method,
                       const char* signature, Arguments... arguments) {
  const TestStatic found = FindTestStatic(env, class_name, method, signature);
  jobject result = env->CallStaticObjectMethod(found.cls, found.method, arguments...);
  env->DeleteLocalRef(found.cls);
  jni::ThrowIfJavaException(env);
  return result;
}
// Calls a static "()J" method of a test class.
jlong CallTestStaticLong(JNIEnv* env, const char* class_name, const char* method);
// The JavaException a static "()V" test method throws (the test fails when none is thrown).
jni::JavaException ThrownBy(JNIEnv* env, const char* class_name, const char* method);

// Everything written to standard output (where the VM prints its JNI warnings) while `run`
// runs.
std::string CapturedStandardOutput(const std::function<void()>& run);

// An Echo executor with an input and an output port for each of "mat", "numbers" and
// "scalar": data stored into an input comes back from the output of the same name.
class EchoRig {
 public:
  explicit EchoRig(JNIEnv* env);
  ~EchoRig();
  EchoRig(const EchoRig&) = delete;
  EchoRig& operator=(const EchoRig&) = delete;

  // Stores `data` into the input of its type, runs Echo, reads the output back and returns
  // it; the input port keeps `data` until the next round trip or Release().
  std::shared_ptr<IPortData> RoundTrip(std::shared_ptr<IPortData> data);
  // The ports' data go, as after a chain's run.
  void Release();

  JPort& Input(const IDataType* type);
  JPort& Output(const IDataType* type);
  jobject Executor() const { return executor_; }

 private:
  JNIEnv* env_;
  jobject executor_;
  std::unique_ptr<JPort> inputs_[3];
  std::unique_ptr<JPort> outputs_[3];
};

}  // namespace zelph::testing
