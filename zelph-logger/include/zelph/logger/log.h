// log.h
//
// The one way every deliverable writes a log line:
//
//   ZELPH_LOG(ZelphSeverityLevel::kWarning, "Worker {} failed: {}", id, error);
//
// The gate is tested before any argument is evaluated, so a suppressed line costs one
// atomic pointer copy and one compare. A passing line goes to the file logger (flushed at
// once, so the log is complete when the process dies) and then to the console logger.
// Format strings are checked at compile time; log a text built at run time through "{}".
#pragma once

#include <fmt/format.h>

#include <string_view>

#include "zelph/logger/export.h"
#include "zelph/logger/log_config.h"

namespace zelph {

// Writes an already formatted line to both loggers that exist. Never throws on account of a
// missing logger; safe against a concurrent ReleaseSpdLogging.
ZELPH_LOGGER_API void WriteLogLine(ZelphSeverityLevel level, std::string_view text);

}  // namespace zelph

#define ZELPH_LOG(level, ...)                                              \
  do {                                                                     \
    const ZelphSeverityLevel zelph_log_level_ = (level);                   \
    if (::CheckSeverity(zelph_log_level_)) {                               \
      ::zelph::WriteLogLine(zelph_log_level_, ::fmt::format(__VA_ARGS__)); \
    }                                                                      \
  } while (false)
