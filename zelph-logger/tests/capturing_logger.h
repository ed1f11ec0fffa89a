// capturing_logger.h
//
// Puts an spdlog logger that writes into a string in place of the file logger, so tests
// can read what was logged without InitializeSpdLogging (which works once per process).
#pragma once

#include <spdlog/sinks/ostream_sink.h>

#include <memory>
#include <sstream>
#include <string>

#include "zelph/logger/log_config.h"

namespace zelph::testing {

class CapturingLogger {
 public:
  explicit CapturingLogger(ZelphSeverityLevel level = ZelphSeverityLevel::kTrace) {
    auto sink = std::make_shared<spdlog::sinks::ostream_sink_mt>(stream_);
    auto logger = std::make_shared<spdlog::logger>("capture", sink);
    logger->set_pattern("[%l] %v");
    logger->set_level(static_cast<spdlog::level::level_enum>(level));
    std::atomic_store(&kFileLogger, logger);
  }
  ~CapturingLogger() { std::atomic_store(&kFileLogger, std::shared_ptr<spdlog::logger>()); }
  CapturingLogger(const CapturingLogger&) = delete;
  CapturingLogger& operator=(const CapturingLogger&) = delete;

  // Everything logged so far, one "[level] text" line per call.
  std::string Text() const { return stream_.str(); }
  void Clear() { stream_.str({}); }

 private:
  std::ostringstream stream_;
};

}  // namespace zelph::testing
