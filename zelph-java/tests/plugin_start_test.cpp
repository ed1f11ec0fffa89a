// plugin_start_test.cpp
//
// Starts of the plug-in that leave no Java VM: the three JDK checks, which fail the plug-in
// before anything is created, and a VM that refuses its options, after which the plug-in
// loads but serves no Java models and its entry points stay silent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "capturing_logger.h"
#include "java_test_home.h"
#include "zelph/config/zelph_config.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(JavaPluginStart, MissingJdkPartsFailThePluginWithTheirPaths) {
  const fs::path home = MakePluginHome("plugin-start-jdk", {});
  const fs::path file = home / "jdk-file";
  std::ofstream(file) << "not a folder";
  const fs::path empty_jdk = home / "empty-jdk";
  fs::create_directories(empty_jdk);
  struct Case {
    fs::path jdk;
    std::string text;
  };
  const Case cases[] = {
      {home / "no-jdk", "JDK home folder does not exist: \"" + (home / "no-jdk").string() + "\""},
      {file, "JDK home path is not a directory: \"" + file.string() + "\""},
      {empty_jdk, "JVM library file does not exist: \"" +
                      (empty_jdk / "lib" / "server" / "libjvm.so").string() + "\""}};
  for (const Case& c : cases) {
    ZelphConfig::GetInstance()->SetJdkHome(c.jdk.string());
    CapturingLogger logger;
    EXPECT_EQ(SimplePluginsManager::GetInstance()->LoadPlugin("plugins/zelph-java"), 1);
    EXPECT_THAT(logger.Text(), HasSubstr("\n\n" + c.text)) << c.jdk;
    // The plug-in throws before it logs anything of its own.
    EXPECT_THAT(logger.Text(), ::testing::Not(HasSubstr("Using JDK"))) << c.jdk;
  }
}

TEST(JavaPluginStart, AVmThatCannotStartLeavesAPluginThatServesNothing) {
  MakePluginHome("plugin-start-bad-option", {"-Xcheck:jni", "-Xzelph-no-such-option"});
  CapturingLogger logger;
  ASSERT_EQ(SimplePluginsManager::GetInstance()->LoadPlugin("plugins/zelph-java"), 0)
      << logger.Text();
  EXPECT_THAT(logger.Text(), HasSubstr("Problems while creating JVM: error code -1"));
  EXPECT_THAT(logger.Text(), ::testing::Not(HasSubstr("InitializeExecutionSystem")));

  logger.Clear();
  SimplePluginsManager& manager = *SimplePluginsManager::GetInstance();
  manager.RegisterAvailableModels("no-vm");
  manager.BeforeExecutingAll("no-vm");
  manager.AfterExecutingAll("no-vm");
  manager.ClearRegisteredModels("no-vm");
  EXPECT_TRUE(manager.GetModels().empty());
  // Only the manager's own line about the session it cleared.
  EXPECT_EQ(logger.Text(),
            "[debug] Clear registered models, session: no-vm, count session model: 0\n");
}

}  // namespace
}  // namespace zelph::testing
