// bad_option_test.cpp
//
// An option the VM refuses: the creation's error is logged, no VM is registered, and no
// thread gets an environment.
#include <gtest/gtest.h>

#include <thread>

#include "java_vm_environment.h"
#include "zelph/java/jvm.h"

namespace zelph::testing {
namespace {

TEST(BadOption, CreationFailureIsLoggedAndLeavesNoVm) {
  const JavaVmStart& start = TestVm();
  EXPECT_EQ(start.error, "");
  EXPECT_EQ(start.vm, nullptr);
  EXPECT_EQ(jni::GetJavaVM(""), nullptr);
  EXPECT_NE(start.log.find("[error] \n\n!!! Problems while creating JVM: error code -1 !!!\n"),
            std::string::npos)
      << start.log;
  EXPECT_NE(start.log.find("[trace] Free vm argument options"), std::string::npos);
  EXPECT_EQ(jni::GetJniEnv(), nullptr);
  std::thread([] { EXPECT_EQ(jni::GetJniEnv(), nullptr); }).join();
}

}  // namespace
}  // namespace zelph::testing
