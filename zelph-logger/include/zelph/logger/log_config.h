// log_config.h
//
// The process-wide loggers of every deliverable: a daily rolling file logger and a
// coloured console logger on standard error, made once by InitializeSpdLogging from a
// LogConfig the host fills in. Until then, and after ReleaseSpdLogging, the loggers are
// empty and CheckSeverity answers false, so every log call is dropped.
#pragma once

#include <spdlog/logger.h>

#include <memory>
#include <string>

#include "zelph/logger/export.h"

// Level numbers are spdlog's own, so a value converts without a table. Values outside
// 0..6 are accepted everywhere and treated as kError.
enum class ZelphSeverityLevel : int {
  kTrace = 0,
  kDebug = 1,
  kInfo = 2,
  kWarning = 3,
  kError = 4,
  kCritical = 5,
  kDisabled = 6,
};

class ZELPH_LOGGER_API LogConfig {
 public:
  LogConfig();
  LogConfig(const LogConfig&);
  LogConfig(LogConfig&&) noexcept;
  LogConfig& operator=(const LogConfig&);
  LogConfig& operator=(LogConfig&&) noexcept;
  ~LogConfig();

  std::string GetSink() const;
  std::string GetFile() const;
  std::string GetLogFormat() const;
  ZelphSeverityLevel GetSeverity() const;
  // Days of daily log files kept, today's among them; older ones are removed when the file
  // logger opens a day's file. 0 keeps all.
  int GetDaysKept() const;
  // The format with every "%l" wrapped in spdlog's colour range; empty for an empty format.
  std::string GetConsoleLogFormat() const;

  // Empty texts are ignored: the field keeps its value.
  void SetSink(const std::string& sink);
  void SetFile(const std::string& file);
  void SetLogFormat(const std::string& format);
  void SetSeverity(ZelphSeverityLevel severity);
  // Values below 0 keep all, as 0 does.
  void SetDaysKept(int days);

  // Traces the logger set-up itself on standard error. Set before InitializeSpdLogging.
  static bool IsDebugMode();
  static void SetDebugMode(bool debug);

 private:
  std::string sink_ = "Console";
  std::string file_ = "$(temp)/log.log";
  std::string format_ = "[%Y-%m-%d %H:%M:%S.%e] [%l] %v";
  ZelphSeverityLevel severity_ = ZelphSeverityLevel::kError;
  int days_kept_ = 0;
};

// Empty until InitializeSpdLogging; read them with std::atomic_load, since run threads may
// still log while ReleaseSpdLogging resets them.
extern ZELPH_LOGGER_API std::shared_ptr<spdlog::logger> kFileLogger;
extern ZELPH_LOGGER_API std::shared_ptr<spdlog::logger> kConsoleLogger;

extern "C" {
// Creates the loggers the sink names ("FileText", "Console"), once per process; a second
// call only prints a refusal. The file logger writes a file a day, the configured name with
// "_YYYY-MM-DD" before its extension, and prints "Log file: " with the absolute path of
// today's file. Throws std::runtime_error when the file logger cannot be made.
ZELPH_LOGGER_API void InitializeSpdLogging(const LogConfig& config);
// Logs a last line, then drops both loggers and closes the log file.
ZELPH_LOGGER_API void ReleaseSpdLogging();
// Whether a line of this level passes the file logger's level (the console logger's when
// there is no file logger); false while no logger exists.
ZELPH_LOGGER_API bool CheckSeverity(ZelphSeverityLevel level);
}
