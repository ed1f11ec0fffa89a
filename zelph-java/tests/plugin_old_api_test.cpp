// plugin_old_api_test.cpp
//
// A model API that lacks a member the bridge binds (Parameters.setLong): the plug-in's start
// fails with the reason that names the Java VM library and the missing method.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "java_test_home.h"
#include "zelph/config/zelph_config.h"
#include "zelph/java/jvm.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

using ::testing::HasSubstr;

TEST(JavaPluginOldApi, MissingMethodFailsTheStartWithTheLibraryPathAndTheMethod) {
  MakePluginHome("plugin-old-api", {"-Xcheck:jni"}, JavaVmSetup::kOldApi);
  CapturingLogger logger;
  EXPECT_EQ(SimplePluginsManager::GetInstance()->LoadPlugin("plugins/zelph-java"), 1);
  const std::string missing =
      "Java method not found 'setLong' with signature "
      "'(Ljava/lang/String;J)Lnet/morvex/executors/api/parameters/Parameters;'";
  EXPECT_EQ(ZelphConfig::GetInstance()->GetInitializationExceptionReason(),
            "Cannot initialize Java virtual machine DLL:\n" +
                jni::JvmLibraryPath(ZELPH_JDK_HOME).string() + "\n" + missing);
  EXPECT_THAT(logger.Text(), HasSubstr("[debug] Catch zelph-java std::exception"));
  EXPECT_THAT(logger.Text(), HasSubstr("[error] Failed initialize execution system\n" + missing));
}

}  // namespace
}  // namespace zelph::testing
