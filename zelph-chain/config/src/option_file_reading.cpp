// option_file_reading.cpp
#include "option_file_reading.h"

#include <exception>

#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"

namespace zelph {

int ReadOptionFile(const OptionFileTexts& texts, const std::string& path, JsonParser parser,
                   const std::function<void()>& read) {
  Timer timer(texts.timer_name);
  if (parser == JsonParser::kMiniJson) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed to parse {}: {} unsupported minijson parser",
              texts.file_kind, path);
    return 1;
  }
  if (parser != JsonParser::kRapidJson) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed to parse {}: [{}] unsupported json parser",
              texts.file_kind, static_cast<int>(parser));
    return 1;
  }
  try {
    read();
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "{}: {}, error: {}", texts.read_failure, path,
              error.what());
    return 1;
  }
  return 0;
}

}  // namespace zelph
