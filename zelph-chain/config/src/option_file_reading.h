// option_file_reading.h
//
// What the readers of the two option files (extension descriptions, Java VM options) share:
// a profiling timer over the whole reading, the refusal of every back-end but the document
// reader, and a read whose exception becomes a logged failure. Thread-safe.
#pragma once

#include <functional>
#include <string>

#include "zelph/config/zelph_config.h"

namespace zelph {

struct OptionFileTexts {
  const char* timer_name;    // "ParseJvmFile"
  const char* file_kind;     // "JVM file": "Failed to parse JVM file: ..." for a back-end
  const char* read_failure;  // "Failed to parse JVM JSON": "{}: {path}, error: {reason}"
};

// Runs `read` with kRapidJson and answers 0, or 1 when `read` throws or the back-end is
// another one; every failure is logged at error level.
int ReadOptionFile(const OptionFileTexts& texts, const std::string& path, JsonParser parser,
                   const std::function<void()>& read);

}  // namespace zelph
