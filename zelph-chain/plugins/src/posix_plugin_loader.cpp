// posix_plugin_loader.cpp
//
// Loading a plug-in library and resolving its entry points by name.
#include "posix_plugin_loader.h"

#include <filesystem>
#include <stdexcept>

#include "zelph/config/zelph_config.h"
#include "zelph/logger/log.h"

PosixPluginLoader::PosixPluginLoader(const std::string& path, ZelphConfig* config)
    : PluginLoader(path), config_(config) {}

PosixPluginLoader::~PosixPluginLoader() = default;

template <typename EntryPoint>
EntryPoint PosixPluginLoader::Resolve(const char* name,
                                      fmt::format_string<const std::string&> missing_warning) {
  auto entry_point = reinterpret_cast<EntryPoint>(library_->Symbol(name));
  if (!entry_point) ZELPH_LOG(ZelphSeverityLevel::kWarning, missing_warning, GetPath());
  return entry_point;
}

void PosixPluginLoader::Initialize() {
  const std::string bin_home = config_->GetBinHome().string();
  if (!bin_home.empty()) {
    // Plug-ins find their own dependencies through their RUNPATH ($ORIGIN), so the bin
    // home is only reported; the process's library search path stays as it is.
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Setting DLL directory: '{}'", bin_home);
  }
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Loading DLL: '{}'", GetPath());
  try {
    library_.emplace(zelph::sys::DynamicLibrary::Open(GetPath()));
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(
        fmt::format("Can't load library dlopen({}), error: {}", GetPath(), e.what()));
  }
  register_available_models_ = Resolve<RegisterAvailableModelsPtr>(
      "RegisterAvailableModels", "Required 'RegisterAvailableModels', plugin: {}");
  clear_session_ = Resolve<ClearSessionPtr>("ClearSession", "Required 'ClearSession', plugin: {}");
  before_executing_all_ = Resolve<BeforeExecutingAllPtr>(
      "BeforeExecutingAll", "Required 'BeforeExecutingAllPtr', plugin: {}");
  after_executing_all_ = Resolve<AfterExecutingAllPtr>(
      "AfterExecutingAll", "Required 'AfterExecutingAllPtr', plugin: {}");
  load_models_ = Resolve<LoadModelsPtr>("LoadModels", "Required 'LoadModels', plugind: {}");
}

int PosixPluginLoader::CallLoadModels(PluginModels* models) {
  if (!load_models_) return 0;
  const std::string folder = std::filesystem::path(GetPath()).parent_path().string();
  const std::string bin_home = config_->GetBinHome().string();
  // From here on models of this library may exist (even if LoadModels then fails), so its
  // code must never be unmapped.
  library_->KeepLoaded();
  return load_models_(models, bin_home, folder);
}
