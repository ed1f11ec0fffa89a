// plugin_no_api_test.cpp
//
// An installation without the model API: the VM cannot load the first class the bridge binds,
// and the plug-in's start fails with the Java error as its reason.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "java_test_home.h"
#include "zelph/config/zelph_config.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

using ::testing::HasSubstr;

TEST(JavaPluginNoApi, UnloadableClassFailsTheStartWithTheJavaError) {
  MakePluginHome("plugin-no-api", {"-Xcheck:jni"}, JavaVmSetup::kNoApi);
  CapturingLogger logger;
  EXPECT_EQ(SimplePluginsManager::GetInstance()->LoadPlugin("plugins/zelph-java"), 1);
  const std::string message = "net/morvex/executors/api/parameters/Parameters";
  EXPECT_EQ(ZelphConfig::GetInstance()->GetInitializationExceptionReason(),
            "Error while initializing Java sub-system:\n" + message);
  EXPECT_THAT(logger.Text(), HasSubstr("[debug] Catch zelph-java jni::JavaException"));
  EXPECT_THAT(logger.Text(), HasSubstr("[error] Failed initialize execution system\n" + message));
  EXPECT_THAT(logger.Text(), HasSubstr("[error] java.lang.NoClassDefFoundError: " + message));
}

}  // namespace
}  // namespace zelph::testing
