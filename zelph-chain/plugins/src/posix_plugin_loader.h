// posix_plugin_loader.h
//
// The plug-in loader over the dynamic-library layer (dlopen). A library whose LoadModels
// ran is pinned in the process: models it made may outlive this loader in the registry or
// in workers, and their code must stay mapped.
#pragma once

#include <fmt/format.h>

#include <optional>
#include <string>

#include "zelph/platform/dynamic_library.h"
#include "zelph/plugins/plugin_loader.h"

class ZelphConfig;

class PosixPluginLoader final : public PluginLoader {
 public:
  // `config` supplies the bin home handed to LoadModels; it outlives the loader.
  PosixPluginLoader(const std::string& path, ZelphConfig* config);
  ~PosixPluginLoader() override;

  void Initialize() override;
  // A plug-in without LoadModels has no models of its own: the result is 0.
  int CallLoadModels(PluginModels* models) override;

 private:
  template <typename EntryPoint>
  EntryPoint Resolve(const char* name, fmt::format_string<const std::string&> missing_warning);

  std::optional<zelph::sys::DynamicLibrary> library_;
  ZelphConfig* config_;
};
