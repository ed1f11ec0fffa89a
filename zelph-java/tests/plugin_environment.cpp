// plugin_environment.cpp
//
// The global test environment that loads the plug-in.
#include "plugin_environment.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "capturing_logger.h"
#include "zelph/java/execution_system.h"
#include "zelph/java/jvm.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

PluginLoad plugin_load;

std::vector<std::string> Arguments() {
  std::vector<std::string> arguments{"-Xcheck:jni"};
  std::istringstream listed(ZELPH_JAVA_PLUGIN_ARGUMENTS);
  for (std::string argument; std::getline(listed, argument, ',');) {
    if (!argument.empty()) arguments.push_back(argument);
  }
  return arguments;
}

class PluginEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    plugin_load.home = MakePluginHome("plugin-" ZELPH_JAVA_PLUGIN_HOME_NAME, Arguments());
    CapturingLogger logger(ZelphSeverityLevel::kTrace);
    plugin_load.result = SimplePluginsManager::GetInstance()->LoadPlugin("plugins/zelph-java");
    plugin_load.log = logger.Text();
    if (plugin_load.result != 0) return;
    // The library is loaded already: this finds the plug-in's VM and binds this copy.
    JavaVM* vm = jni::CreateJvm(jni::JvmLibraryPath(ZELPH_JDK_HOME).string(), {}, "");
    InitializeExecutionSystem(vm);
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new PluginEnvironment);

}  // namespace

const PluginLoad& LoadedPlugin() { return plugin_load; }

std::filesystem::path PluginLibrary() {
  return plugin_load.home / "bin" / "plugins" / "zelph-java" / "zelph-java.so";
}

}  // namespace zelph::testing
