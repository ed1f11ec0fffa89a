// jvm_test.cpp
//
// The VM of the process: started from the installation's options, reused by a second
// creation, leaving the host's signal handling alone, and attaching threads that then
// leave no Java thread behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <thread>
#include <vector>

#include "capturing_logger.h"
#include "java_test_support.h"
#include "java_vm_environment.h"
#include "zelph/java/java_bindings.h"
#include "zelph/java/java_text.h"
#include "zelph/java/jni_lookup.h"
#include "zelph/java/jvm.h"

namespace zelph::testing {
namespace {

std::string SystemProperty(JNIEnv* env, const char* name) {
  jni::LocalRef<jclass> system(env, jni::FindJavaClass(env, "java/lang/System"));
  const jmethodID get = jni::GetJavaStaticMethodId(env, system.get(), "getProperty",
                                                   "java/lang/String", {"java/lang/String"});
  jni::LocalRef<jstring> key(env, jni::NewJavaString(env, name));
  jni::LocalRef<jstring> value(
      env, static_cast<jstring>(env->CallStaticObjectMethod(system.get(), get, key.get())));
  jni::ThrowIfJavaException(env);
  return jni::JavaStringToUtf8(env, value.get());
}

int JavaThreadCount(JNIEnv* env) {
  jni::LocalRef<jclass> thread(env, jni::FindJavaClass(env, "java/lang/Thread"));
  const jmethodID count = jni::GetJavaStaticMethodId(env, thread.get(), "activeCount", "I");
  const jint threads = env->CallStaticIntMethod(thread.get(), count);
  jni::ThrowIfJavaException(env);
  return threads;
}

TEST(JavaVm, StartsFromTheHomeWithTheInstallationsOptions) {
  const JavaVmStart& start = TestVm();
  ASSERT_NE(start.vm, nullptr) << start.error << "\n" << start.log;
  EXPECT_EQ(jni::GetJavaVM(""), start.vm);
  EXPECT_EQ(jni::GetJavaVM("another"), nullptr);
  EXPECT_EQ(start.options.front(), "-Xrs");
  EXPECT_NE(start.log.find("[info] JavaVM created successfully"), std::string::npos);
  EXPECT_NE(start.log.find("[debug] version: 0X10006"), std::string::npos);
  EXPECT_NE(start.log.find("[debug] ignore unrecognized: 0"), std::string::npos);
  EXPECT_NE(start.log.find("[info] jvm option[0]: -Xrs"), std::string::npos);
  // The installation caps the memory the models' direct buffers may hold.
  EXPECT_EQ(CallTestStaticLong(Env(), "DirectMemory", "cap"), jlong{1} << 30);
  // An extension's own option file reached the VM with the home variable replaced.
  EXPECT_EQ(SystemProperty(Env(), "zelph.tests.home"), (start.home / "bin" / "..").string());
}

TEST(JavaVm, SecondBindingLooksNothingUpAgain) {
  const jni::JavaBindings before = jni::bound;
  jni::BindModelApiClasses(Env());
  EXPECT_EQ(std::memcmp(&before, &jni::bound, sizeof(before)), 0);
}

TEST(JavaModelApi, FindsModelsThroughTheServiceLoader) {
  JNIEnv* env = Env();
  jni::LocalRef<jclass> block(env,
                              jni::FindJavaClass(env, "net/morvex/executors/api/ExecutionBlock"));
  const jmethodID start =
      jni::GetJavaStaticMethodId(env, block.get(), "initializeExecutionSystem", nullptr);
  env->CallStaticVoidMethod(block.get(), start);
  jni::ThrowIfJavaException(env);
  const jmethodID list =
      jni::GetJavaStaticMethodId(env, block.get(), "allSerializedSpecificationsArray",
                                 "[Ljava/lang/String;", {"java/lang/String"});
  jni::LocalRef<jobjectArray> specifications(
      env, static_cast<jobjectArray>(env->CallStaticObjectMethod(block.get(), list, nullptr)));
  jni::ThrowIfJavaException(env);
  std::vector<std::string> names;
  std::string echo;
  for (jsize i = 0; i < env->GetArrayLength(specifications.get()); ++i) {
    jni::LocalRef<jstring> text(
        env, static_cast<jstring>(env->GetObjectArrayElement(specifications.get(), i)));
    const std::string specification = jni::JavaStringToUtf8(env, text.get());
    names.push_back(specification.substr(specification.find("\"name\"")));
    if (specification.find("\"name\": \"Echo\"") != std::string::npos) echo = specification;
  }
  ASSERT_EQ(names.size(), 14u);  // every test model of META-INF/services, in its order
  EXPECT_TRUE(names[0].starts_with(R"("name": "Echo")")) << names[0];
  EXPECT_TRUE(names[1].starts_with(R"("name": "ParameterProbe")")) << names[1];

  const jmethodID create = jni::GetJavaStaticMethodId(env, block.get(), "newExecutor",
                                                      "net/morvex/executors/api/ExecutionBlock",
                                                      {"java/lang/String", "java/lang/String"});
  const auto new_executor = [&](const std::string& specification) {
    jni::LocalRef<jstring> text(env, jni::NewJavaString(env, specification));
    jni::LocalRef<> executor(env,
                             env->CallStaticObjectMethod(block.get(), create, nullptr, text.get()));
    jni::ThrowIfJavaException(env);
    return executor.get() != nullptr ? jni::JavaClassName(env, executor.get()) : "";
  };
  EXPECT_EQ(new_executor(echo), "net.morvex.executors.tests.Echo");
  EXPECT_EQ(new_executor(R"({"java": {"class": "java/lang/String"}})"), "");  // no model
  EXPECT_THROW(new_executor(R"({"java": {"class": "no.such.Model"}})"), jni::JavaException);
  EXPECT_THROW(new_executor("{}"), jni::JavaException);
}

TEST(JavaVm, LeavesTheHostsInterruptHandlerInPlace) {
  struct sigaction action {};
  ASSERT_EQ(sigaction(SIGINT, nullptr, &action), 0);
  EXPECT_EQ(action.sa_handler, &HostInterruptHandler);
}

TEST(JavaVm, SecondCreationReusesTheRunningVm) {
  CapturingLogger logger(ZelphSeverityLevel::kTrace);
  JavaVM* again = jni::CreateJvm(jni::JvmLibraryPath(ZELPH_JDK_HOME).string(),
                                 {"-Xbogus-option-never-applied"}, "");
  EXPECT_EQ(again, TestVm().vm);
  EXPECT_EQ(jni::GetJavaVM(""), TestVm().vm);
  const std::string log = logger.Text();
  EXPECT_NE(log.find("[debug] Count of created jvm: 1"), std::string::npos) << log;
  EXPECT_EQ(log.find("created successfully"), std::string::npos) << log;
  EXPECT_NE(log.find("[trace] Free vm argument options"), std::string::npos) << log;
}

TEST(JavaVm, LibraryThatDoesNotLoadNamesItsPath) {
  try {
    jni::LoadJvmLibrary("/no/such/libjvm.so");
    ADD_FAILURE() << "loaded";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what())
                  .rfind("Cannot load Java virtual machine DLL (libjvm.so): /no/such/libjvm.so, "
                         "error code: ",
                         0),
              0u)
        << error.what();
  }
}

TEST(JavaVm, ThreadsAreAttachedOnFirstUseAndDetachedWhenTheyEnd) {
  JNIEnv* env = Env();
  const int before = JavaThreadCount(env);
  std::vector<std::thread> threads;
  for (int i = 0; i < 50; ++i) {
    threads.emplace_back([] {
      JNIEnv* thread_env = jni::GetJniEnv();
      ASSERT_NE(thread_env, nullptr);
      EXPECT_EQ(jni::GetJniEnv(), thread_env);  // attached once
      jni::LocalRef<jclass> cls(thread_env, jni::FindJavaClass(thread_env, "java.lang.String"));
      EXPECT_TRUE(cls);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(JavaThreadCount(env), before);
}

}  // namespace
}  // namespace zelph::testing
