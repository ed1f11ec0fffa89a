// java_test_support.cpp
//
// Executors of the test models and their ports.
#include "java_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"
#include "zelph/java/jvm.h"
#include "zelph/model/uuid.h"

namespace zelph::testing {
namespace {

constexpr const char* kExecutionBlock = "net/morvex/executors/api/ExecutionBlock";

jclass ExecutionBlockClass(JNIEnv* env) {
  static const jclass cls = jni::FindGlobalJavaClass(env, kExecutionBlock);
  return cls;
}

int Slot(const IDataType* type) {
  if (DataTypeMat::Equals(type)) return 0;
  if (DataTypeNumbers::Equals(type)) return 1;
  return 2;
}

}  // namespace

JNIEnv* Env() {
  JNIEnv* env = jni::GetJniEnv();
  EXPECT_NE(env, nullptr) << "no Java VM";
  return env;
}

jobject NewExecutor(JNIEnv* env, const std::string& java_class) {
  const jclass cls = ExecutionBlockClass(env);
  const jmethodID create = jni::GetJavaStaticMethodId(env, cls, "newExecutor", kExecutionBlock,
                                                      {"java/lang/String", "java/lang/String"});
  jni::LocalRef<jstring> description(
      env, jni::NewJavaString(env, R"({"java": {"class": ")" + java_class + R"("}})"));
  jni::LocalRef<> executor(env,
                           env->CallStaticObjectMethod(cls, create, nullptr, description.get()));
  jni::ThrowIfJavaException(env);
  return env->NewGlobalRef(executor.get());
}

void DeleteExecutor(JNIEnv* env, jobject executor) { env->DeleteGlobalRef(executor); }

void Execute(JNIEnv* env, jobject executor) {
  static const jmethodID execute =
      jni::GetJavaMethodId(env, ExecutionBlockClass(env), "execute", nullptr);
  env->CallVoidMethod(executor, execute);
  jni::ThrowIfJavaException(env);
}

std::unique_ptr<JPort> NewJavaPort(JNIEnv* env, zelph::PortType type, const std::string& name,
                                   IDataType* data_type, jobject executor) {
  zelph::Port description;
  description.SetType(type);
  description.SetName(name);
  description.SetDataType(data_type);
  description.SetId(zelph::NewUuidText());
  auto port = std::make_unique<JPort>(description);
  port->CreateInstance(env);
  if (executor != nullptr) {
    static const jmethodID add_port = jni::GetJavaMethodId(
        env, ExecutionBlockClass(env), "addPort", "Z", {"net/morvex/executors/api/data/Port"});
    const jboolean added = env->CallBooleanMethod(executor, add_port, port->GetObject());
    jni::ThrowIfJavaException(env);
    EXPECT_TRUE(added) << name;
  }
  return port;
}

TestStatic FindTestStatic(JNIEnv* env, const char* class_name, const char* method,
                          const char* signature) {
  const std::string name = std::string("net/morvex/executors/tests/") + class_name;
  jclass cls = jni::FindJavaClass(env, name.c_str());
  return {cls, jni::GetStaticMethodIdBySignature(env, cls, method, signature)};
}

jlong CallTestStaticLong(JNIEnv* env, const char* class_name, const char* method) {
  const TestStatic found = FindTestStatic(env, class_name, method, "()J");
  const jlong result = env->CallStaticLongMethod(found.cls, found.method);
  env->DeleteLocalRef(found.cls);
  jni::ThrowIfJavaException(env);
  return result;
}

jni::JavaException ThrownBy(JNIEnv* env, const char* class_name, const char* method) {
  const TestStatic found = FindTestStatic(env, class_name, method, "()V");
  env->CallStaticVoidMethod(found.cls, found.method);
  EXPECT_TRUE(env->ExceptionCheck()) << method << " threw nothing";
  jni::JavaException thrown(env);
  env->DeleteLocalRef(found.cls);
  return thrown;
}

std::string CapturedStandardOutput(const std::function<void()>& run) {
  std::fflush(stdout);
  FILE* capture = std::tmpfile();
  const int saved = dup(STDOUT_FILENO);
  dup2(fileno(capture), STDOUT_FILENO);
  run();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::rewind(capture);
  std::string text;
  for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture)) text += static_cast<char>(c);
  std::fclose(capture);
  return text;
}

EchoRig::EchoRig(JNIEnv* env)
    : env_(env), executor_(NewExecutor(env, "net.morvex.executors.tests.Echo")) {
  IDataType* const types[3] = {DataTypeMat::GetInstance(), DataTypeNumbers::GetInstance(),
                               DataTypeScalar::GetInstance()};
  for (int i = 0; i < 3; ++i) {
    inputs_[i] = NewJavaPort(env, zelph::PortType::input, types[i]->GetName(), types[i], executor_);
    outputs_[i] =
        NewJavaPort(env, zelph::PortType::output, types[i]->GetName(), types[i], executor_);
  }
}

EchoRig::~EchoRig() {
  for (auto& port : inputs_) port.reset();
  for (auto& port : outputs_) port.reset();
  DeleteExecutor(env_, executor_);
}

std::shared_ptr<IPortData> EchoRig::RoundTrip(std::shared_ptr<IPortData> data) {
  JPort& input = Input(data->GetDataType());
  JPort& output = Output(data->GetDataType());
  output.ResetJavaData(env_);
  input.SetData(std::move(data));
  Execute(env_, executor_);
  output.ReadData(env_);
  return output.GetData();
}

void EchoRig::Release() {
  for (auto& port : inputs_) port->ResetData();
  for (auto& port : outputs_) port->ResetData();
}

JPort& EchoRig::Input(const IDataType* type) { return *inputs_[Slot(type)]; }

JPort& EchoRig::Output(const IDataType* type) { return *outputs_[Slot(type)]; }

}  // namespace zelph::testing
