// zelph_config.cpp
//
// The configuration singleton: creation, the setters with text rules, folder resolution
// and the enumeration conversions.
#include "zelph/config/zelph_config.h"

#include <fmt/format.h>
#include <strings.h>

#include <iostream>
#include <map>
#include <stdexcept>

#include "zelph/logger/log.h"
#include "zelph/model/property.h"
#include "zelph/platform/known_folders.h"

namespace {

bool EqualsIgnoringCase(const char* text, const char* expected) {
  return text != nullptr && strcasecmp(text, expected) == 0;
}

// The setters log through their own severity test, not the loggers' gate: the level is
// configured before any logger exists.
void LogIfConfigured(const ZelphConfig& config, ZelphSeverityLevel level, const std::string& text) {
  if (config.CheckSeverity(level)) zelph::WriteLogLine(level, text);
}

}  // namespace

ZelphConfig::ZelphConfig() : properties_(std::make_unique<Property>()) {}

ZelphConfig::~ZelphConfig() = default;

ZelphConfig* ZelphConfig::GetInstance() {
  // Deliberately never deleted: workers and plug-ins keep the pointer until the process
  // ends, after static destruction has begun.
  static ZelphConfig* const instance = new ZelphConfig();
  return instance;
}

std::filesystem::path ZelphConfig::GetDavodavoraHome(bool relative) const {
  if (relative) {
    return davodavora_relative_dir_.empty() ? std::filesystem::path("..")
                                            : std::filesystem::path(davodavora_relative_dir_);
  }
  return bin_home_ / davodavora_relative_dir_;
}

std::filesystem::path ZelphConfig::GetJdkHome() const {
  const std::filesystem::path jdk(jdk_home_);
  return jdk.is_absolute() ? jdk : bin_home_ / jdk;
}

void ZelphConfig::SetSeverityLevel(const char* name) {
  severity_name_ = name ? name : "";
  severity_code_ = static_cast<int>(SeverityNameToCode(name));
}

ZelphSeverityLevel ZelphConfig::SeverityNameToCode(const char* name) {
  static constexpr std::pair<const char*, ZelphSeverityLevel> kNames[] = {
      {"trace", ZelphSeverityLevel::kTrace},    {"debug", ZelphSeverityLevel::kDebug},
      {"info", ZelphSeverityLevel::kInfo},      {"warning", ZelphSeverityLevel::kWarning},
      {"error", ZelphSeverityLevel::kError},    {"critical", ZelphSeverityLevel::kCritical},
      {"fatal", ZelphSeverityLevel::kCritical}, {"disabled", ZelphSeverityLevel::kDisabled},
  };
  for (const auto& [text, level] : kNames) {
    if (EqualsIgnoringCase(name, text)) return level;
  }
  return ZelphSeverityLevel::kTrace;
}

bool ZelphConfig::CheckSeverity(ZelphSeverityLevel level) const {
  return CheckSeverity(static_cast<int>(level));
}

bool ZelphConfig::CheckSeverity(int level) const { return level >= severity_code_; }

void ZelphConfig::SetCacheType(const char* text) {
  const std::string value = text ? text : "";
  if (value == "none") {
    cache_type_ = ServerCacheType::kNone;
  } else if (value == "mem") {
    cache_type_ = ServerCacheType::kMem;
  }
}

void ZelphConfig::SetExceptionHandle(const char* text) {
  if (EqualsIgnoringCase(text, "ignore")) {
    java_exception_handle_ = JavaExceptionHandle::kIgnore;
  } else if (EqualsIgnoringCase(text, "describe")) {
    java_exception_handle_ = JavaExceptionHandle::kDescribe;
  } else if (EqualsIgnoringCase(text, "stack-trace")) {
    java_exception_handle_ = JavaExceptionHandle::kStackTrace;
  }
}

void ZelphConfig::SetChainImplType(const char* text) {
  if (EqualsIgnoringCase(text, "linked-chain")) {
    chain_impl_type_ = ChainImplType::kLinkedChain;
  } else if (EqualsIgnoringCase(text, "base-chain")) {
    chain_impl_type_ = ChainImplType::kBaseChain;
  }
}

void ZelphConfig::SetExecuteStrategyType(const char* text) {
  static constexpr std::pair<const char*, ExecutionStrategyType> kTexts[] = {
      {"base", ExecutionStrategyType::kBase},
      {"graph", ExecutionStrategyType::kGraph},
      {"rgraph", ExecutionStrategyType::kRGraph},
      {"output_broadcast", ExecutionStrategyType::kOutputBroadcast},
  };
  for (const auto& [name, type] : kTexts) {
    if (EqualsIgnoringCase(text, name)) {
      execute_strategy_type_ = type;
      return;
    }
  }
  LogIfConfigured(*this, ZelphSeverityLevel::kWarning,
                  fmt::format("Unsupported execute strategy: {}", text ? text : ""));
}

bool ZelphConfig::SetExceptionAction(const std::string& text) {
  if (text == "inhert") {
    exception_action_ = ExceptionAction::kInhert;
  } else if (text == "interrupt") {
    exception_action_ = ExceptionAction::kInterrupt;
  } else if (text == "ignore") {
    exception_action_ = ExceptionAction::kIgnore;
  } else {
    LogIfConfigured(
        *this, ZelphSeverityLevel::kError,
        fmt::format("Failed set exception action, unsupported action setting: {}", text));
    return false;
  }
  return true;
}

void ZelphConfig::SetChainReaderType(const std::string& text) {
  chain_reader_type_ = StringToJsonParser(text);
}

void ZelphConfig::SetChainWriterType(const std::string& text) {
  chain_writer_type_ = StringToJsonParser(text);
}

std::wstring ZelphConfig::GetServiceNameW() const {
  std::wstring wide;
  wide.reserve(service_name_.size());
  for (const char byte : service_name_) wide.push_back(static_cast<unsigned char>(byte));
  return wide;
}

void ZelphConfig::SetInitializationExceptionReasonIfFirst(std::string reason) {
  if (initialization_exception_reason_.empty()) {
    initialization_exception_reason_ = std::move(reason);
  }
}

std::string ZelphConfig::GetLogDirectory() const {
  // Ordered by key, so "$(running.home.directory)" is replaced before "$(temp)".
  const std::map<std::string, std::string> variables = {
      {"$(running.home.directory)", GetDavodavoraHome(false).string()},
      {"$(temp)", zelph::sys::TempFolder()},
  };
  std::string pattern = log_file_;
  if (pattern.empty()) return {};
  for (const auto& [key, value] : variables) {
    for (std::size_t at = pattern.find(key); at != std::string::npos;
         at = pattern.find(key, at + value.size())) {
      pattern.replace(at, key.size(), value);
    }
  }
  return std::filesystem::path(pattern).parent_path().string();
}

void ZelphConfig::PrintFolderInformation() const {
  std::cout << "Server binary folder: " << bin_home_.string() << std::endl;
  std::cout << "Davodavora folder: " << std::filesystem::absolute(GetDavodavoraHome(false)).string()
            << std::endl;
}

JsonParser StringToJsonParser(const std::string& text) {
  return text == "kMiniJson" || text == "mini_json" ? JsonParser::kMiniJson
                                                    : JsonParser::kRapidJson;
}

std::string JsonParserToString(JsonParser parser) {
  switch (parser) {
    case JsonParser::kMiniJson:
      return "kMiniJson";
    case JsonParser::kRapidJson:
      return "kRapidJson";
  }
  return {};
}

std::string ExecutionStrategyToString(ExecutionStrategyType type) {
  switch (type) {
    case ExecutionStrategyType::kBase:
      return "base";
    case ExecutionStrategyType::kGraph:
      return "graph";
    case ExecutionStrategyType::kRGraph:
      return "rgraph";
    case ExecutionStrategyType::kOutputBroadcast:
      return "output_broadcast";
  }
  throw std::runtime_error("Unsupported execution strategy type");
}

ExecutionStrategyType ExecutionStrategyFromString(const std::string& text) {
  if (text == "graph") return ExecutionStrategyType::kGraph;
  if (text == "base") return ExecutionStrategyType::kBase;
  if (text == "output_broadcast") return ExecutionStrategyType::kOutputBroadcast;
  return ExecutionStrategyType::kRGraph;
}
