// plugin_loader.cpp
//
// Forwarding of session events to a plug-in's entry points.
#include "zelph/plugins/plugin_loader.h"

#include "zelph/plugins/simple_plugins_manager.h"

namespace {

// Entry points get their own copy of the session text, so a plug-in never holds a
// reference into the caller's string.
template <typename EntryPoint, typename... Extra>
void Forward(EntryPoint entry_point, const std::string& session, Extra... extra) {
  if (!entry_point) return;
  const std::string session_copy = session;
  entry_point(session_copy, extra...);
}

}  // namespace

PluginLoader::PluginLoader(const std::string& path) : path_(path) {}

PluginLoader::~PluginLoader() = default;

bool PluginLoader::GetFlag() const { return flag_; }

void PluginLoader::RegisterAvailableModels(const std::string& session) {
  Forward(register_available_models_, session, SimplePluginsManager::GetInstance());
}

void PluginLoader::ClearSession(const std::string& session) { Forward(clear_session_, session); }

void PluginLoader::BeforeExecutingAll(const std::string& session) {
  Forward(before_executing_all_, session);
}

void PluginLoader::AfterExecutingAll(const std::string& session) {
  Forward(after_executing_all_, session);
}
