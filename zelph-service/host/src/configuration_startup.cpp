// configuration_startup.cpp
#include "zelph/host/configuration_startup.h"

#include <fmt/format.h>

#include <filesystem>
#include <stdexcept>

#include "zelph/config/zelph_config.h"
#include "zelph/host/command_line.h"
#include "zelph/host/debug_print.h"
#include "zelph/logger/log_config.h"

namespace zelph::host {

ZelphConfig* InitializeConfiguration() {
  const CliArguments& arguments = GetCliArguments();
  const std::filesystem::path bin_home = arguments.home.empty()
                                             ? std::filesystem::current_path()
                                             : std::filesystem::path(arguments.home);
  const std::filesystem::path config_file(arguments.config);
  ZelphConfig* config = ZelphConfig::GetInstance();
  config->SetBinHome(bin_home);
  const bool parsed = config->ParseConfigJson(config_file.c_str());
  if (arguments.service_enabled_override != -1) {
    config->SetServiceEnabled(arguments.service_enabled_override == 1);
  }
  if (arguments.server_enabled_override != -1) {
    config->SetServerEnabled(arguments.server_enabled_override == 1);
  }
  if (!arguments.jdk.empty()) config->SetJdkHome(arguments.jdk);
  if (!parsed) {
    throw std::runtime_error(
        fmt::format("Can't load zelph configuration zelph_home: {}, config: {}", bin_home.string(),
                    config_file.string()));
  }
  return config;
}

void InitializeLogger(const ZelphConfig& config) {
  const bool debug = GetCliArguments().debug;
  LogConfig log_config;
  LogConfig::SetDebugMode(debug);
  DebugPrint(fmt::format("  Log sink: {}", config.GetLogSink()));
  log_config.SetSink(config.GetLogSink());
  DebugPrint(fmt::format("  Log file name: {}", config.GetLogFileName()));
  log_config.SetFile(config.GetLogFileName());
  log_config.SetDaysKept(config.GetLogDaysKept());
  DebugPrint(fmt::format("  Log severity: {}", config.GetSeverityCode()));
  ZelphSeverityLevel severity = config.GetSeverity();
  if (debug && static_cast<int>(severity) > static_cast<int>(ZelphSeverityLevel::kDebug)) {
    severity = ZelphSeverityLevel::kDebug;
  }
  log_config.SetSeverity(severity);
  DebugPrint(fmt::format("  Log format: {}", config.GetLogFormat()));
  log_config.SetLogFormat(config.GetLogFormat());
  InitializeSpdLogging(log_config);
  DebugPrint("Logger initialized");
}

}  // namespace zelph::host
