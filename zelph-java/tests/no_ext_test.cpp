// no_ext_test.cpp
//
// A product home without ext/: the option assembly fails before any VM is made.
#include <gtest/gtest.h>

#include "java_vm_environment.h"
#include "zelph/java/jvm.h"

namespace zelph::testing {
namespace {

TEST(NoExtFolder, StartFailsBeforeTheVm) {
  const JavaVmStart& start = TestVm();
  const std::string ext = (start.home / "bin" / ".." / "ext").string();
  EXPECT_EQ(start.error, "Java extensions folder " + ext + " not found (absolute path: " +
                             std::filesystem::absolute(ext).string() + ")");
  EXPECT_TRUE(start.options.empty());
  EXPECT_EQ(jni::GetJavaVM(""), nullptr);
  EXPECT_EQ(jni::GetJniEnv(), nullptr);
}

}  // namespace
}  // namespace zelph::testing
