// service_fixtures.cpp
//
// The fixture folders are compiled in by CMake (ZELPH_SERVICE_FIXTURES, the source folder
// of the fixtures, and ZELPH_SERVICE_PLUGIN_ROOT, the build folder holding the plug-in).
#include "zelph/testing/service_fixtures.h"

#include <mutex>
#include <stdexcept>

#include "zelph/config/text_file.h"
#include "zelph/config/zelph_config.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {

void LoadServiceTestPlugin() {
  static std::once_flag once;
  std::call_once(once, [] {
    ZelphConfig::GetInstance()->SetBinHome(ZELPH_SERVICE_PLUGIN_ROOT);
    if (SimplePluginsManager::GetInstance()->LoadPlugin("service_test_plugin") != 0) {
      throw std::runtime_error("service_test_plugin did not load");
    }
  });
}

std::string ChainFile(const std::string& name) {
  return std::string(ZELPH_SERVICE_FIXTURES) + "/chains/" + name;
}

std::string ChainText(const std::string& name) {
  std::string text;
  if (!ReadTextFile(ChainFile(name), text)) throw std::runtime_error("missing fixture " + name);
  return text;
}

std::string SolutionAppsFolder() { return std::string(ZELPH_SERVICE_FIXTURES) + "/solutions/apps"; }

std::string SolutionTemplatesFolder() {
  return std::string(ZELPH_SERVICE_FIXTURES) + "/solutions/templates";
}

}  // namespace zelph::testing
