// service_test_plugin.cpp
//
// The entry points of the service test plug-in. The models and the state the tests steer
// live in the shared test support library (test_plugin_control.h).
#include "zelph/plugins/plugin_entry_points.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/testing/test_plugin_control.h"

using zelph::testing::TestPluginControl;

ZELPH_PLUGIN_ENTRY int LoadModels(PluginModels* models, const std::string&, const std::string&) {
  zelph::testing::MakeStaticModels(*models);
  return 0;
}

ZELPH_PLUGIN_ENTRY void RegisterAvailableModels(const std::string& session,
                                                SimplePluginsManager* manager) {
  TestPluginControl& control = TestPluginControl::Get();
  control.OnRegister(session);
  manager->AddModel(zelph::testing::MakeMainModel(control.RecordedContext(session)), session);
}

ZELPH_PLUGIN_ENTRY void ClearSession(const std::string& session) {
  TestPluginControl::Get().OnClearSession(session);
}

ZELPH_PLUGIN_ENTRY void BeforeExecutingAll(const std::string& session) {
  TestPluginControl::Get().OnEvent("before", session);
}

ZELPH_PLUGIN_ENTRY void AfterExecutingAll(const std::string& session) {
  TestPluginControl::Get().OnEvent("after", session);
}
