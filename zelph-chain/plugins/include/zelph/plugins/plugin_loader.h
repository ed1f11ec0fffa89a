// plugin_loader.h
//
// The plug-in manager's handle on one loaded plug-in library: the resolved entry points
// and the forwarding of session events to them. The platform loader fills the entry
// points; the manager owns every loader and keeps it until the process ends.
#pragma once

#include <string>

#include "zelph/chain/export.h"
#include "zelph/plugins/plugin_entry_points.h"

class ZELPH_CHAIN_API PluginLoader {
 public:
  // `path` is the library's path (UTF-8). No entry point is resolved yet.
  explicit PluginLoader(const std::string& path);
  virtual ~PluginLoader();
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // Loads the library and resolves the entry points. Throws std::runtime_error when the
  // library cannot be loaded; a missing entry point is only a warning.
  virtual void Initialize() = 0;
  // Runs the plug-in's LoadModels once and returns its result (0 success).
  virtual int CallLoadModels(PluginModels* models) = 0;
  // Always false: nothing in the system raises it.
  virtual bool GetFlag() const;

  // Session events. Each does nothing when the plug-in lacks the entry point; whatever the
  // plug-in throws reaches the caller. They may run on several threads at once, so the
  // plug-in's entry points must be thread-safe.
  virtual void RegisterAvailableModels(const std::string& session);
  virtual void ClearSession(const std::string& session);
  virtual void BeforeExecutingAll(const std::string& session);
  virtual void AfterExecutingAll(const std::string& session);

  const std::string& GetPath() const { return path_; }

 protected:
  // Written only by Initialize, before the loader is shared.
  RegisterAvailableModelsPtr register_available_models_ = nullptr;
  ClearSessionPtr clear_session_ = nullptr;
  BeforeExecutingAllPtr before_executing_all_ = nullptr;
  AfterExecutingAllPtr after_executing_all_ = nullptr;
  LoadModelsPtr load_models_ = nullptr;

 private:
  bool flag_ = false;
  std::string path_;
};
