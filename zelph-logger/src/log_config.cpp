// log_config.cpp
//
// LogConfig: the value type the host fills from its configuration.
#include "zelph/logger/log_config.h"

#include <boost/algorithm/string/replace.hpp>

namespace {
bool debug_mode = false;
}  // namespace

LogConfig::LogConfig() = default;
LogConfig::LogConfig(const LogConfig&) = default;
LogConfig::LogConfig(LogConfig&&) noexcept = default;
LogConfig& LogConfig::operator=(const LogConfig&) = default;
LogConfig& LogConfig::operator=(LogConfig&&) noexcept = default;
LogConfig::~LogConfig() = default;

std::string LogConfig::GetSink() const { return sink_; }
std::string LogConfig::GetFile() const { return file_; }
std::string LogConfig::GetLogFormat() const { return format_; }
ZelphSeverityLevel LogConfig::GetSeverity() const { return severity_; }
int LogConfig::GetDaysKept() const { return days_kept_; }

std::string LogConfig::GetConsoleLogFormat() const {
  return boost::algorithm::replace_all_copy(format_, "%l", "%^%l%$");
}

void LogConfig::SetSink(const std::string& sink) {
  if (!sink.empty()) sink_ = sink;
}
void LogConfig::SetFile(const std::string& file) {
  if (!file.empty()) file_ = file;
}
void LogConfig::SetLogFormat(const std::string& format) {
  if (!format.empty()) format_ = format;
}
void LogConfig::SetSeverity(ZelphSeverityLevel severity) { severity_ = severity; }
void LogConfig::SetDaysKept(int days) { days_kept_ = days < 0 ? 0 : days; }

bool LogConfig::IsDebugMode() { return debug_mode; }
void LogConfig::SetDebugMode(bool debug) { debug_mode = debug; }
