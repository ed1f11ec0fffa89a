// service_fixtures.cpp
//
// The fixture folders are compiled in by CMake (ZELPH_SERVICE_FIXTURES, the source folder
// of the fixtures, and ZELPH_SERVICE_PLUGIN_ROOT, the build folder holding the plug-in).
#include "zelph/testing/service_fixtures.h"

#include <fmt/format.h>

#include <mutex>
#include <stdexcept>

#include "zelph/config/text_file.h"
#include "zelph/config/zelph_config.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/testing/test_plugin_control.h"

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

std::string ScaleLineChainText(int workers) {
  std::string blocks;
  std::string links;
  auto id = [](int kind, int index) {
    return fmt::format("be9c0000-0000-4000-{:04x}-{:012x}", kind, index);
  };
  for (int i = 0; i < workers; ++i) {
    if (i != 0) blocks += ",";
    blocks += fmt::format(
        R"({{"uuid": "{}", "executor_id": "{}", "executor_name": "Scale", "ports": [)"
        R"({{"uuid": "{}", "type": 1, "name": "input"}}, {{"uuid": "{}", "type": 2, "name": "output"}}],)"
        R"( "properties": [{{"name": "gain", "type": "double", "value": 1.5}}], "system": {{"name": "w{}"}}}})",
        id(1, i), kScaleModel, id(2, i), id(3, i), i);
    if (i != 0) {
      if (i != 1) links += ",";
      links += fmt::format(R"({{"uuid": "{}", "src_port_uuid": "{}", "dest_port_uuid": "{}"}})",
                           id(4, i), id(3, i - 1), id(2, i));
    }
  }
  return fmt::format(
      R"({{"app": "zelph-project", "zelph_chain": {{"executor": {{"uuid": "{}", "name": "bench"}},)"
      R"( "blocks": [{}], "links": [{}]}}}})",
      id(0, 0), blocks, links);
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
