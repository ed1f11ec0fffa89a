// timer.h
//
// Named profiling timers. A Timer on the stack adds the time from its construction to its
// destruction to a process-wide table under its name; an InstantTimer prints its time at
// once and leaves the table alone. The service prints the table when it stops.
//
//   { zelph::Timer timer("ParseExtensionFile"); ... }
//
// Timers may run on any thread and do not wait for each other: each thread keeps its own
// table, and the functions below merge the tables of all threads, running and ended. They
// print after releasing every lock, so what they log may itself be timed.
#pragma once

#include <cstdint>
#include <string>

#include "zelph/logger/export.h"

namespace zelph {

class ZELPH_LOGGER_API Timer {
 public:
  explicit Timer(const char* name);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

 private:
  int64_t start_ns_;
  std::string name_;
};

class ZELPH_LOGGER_API InstantTimer {
 public:
  explicit InstantTimer(const char* name);
  ~InstantTimer();
  InstantTimer(const InstantTimer&) = delete;
  InstantTimer& operator=(const InstantTimer&) = delete;

 private:
  int64_t start_ns_;
  std::string name_;
};

// Prints every entry, largest total first; entries that count nothing print no line.
ZELPH_LOGGER_API void PrintAllProfiles();
ZELPH_LOGGER_API void PrintProfile(const char* name);
// Sets the entry to zero, creating it when absent.
ZELPH_LOGGER_API void ResetProfile(const char* name);
ZELPH_LOGGER_API void ResetAllProfiles();
// The summed milliseconds of the name, or -1.0 when it has no entry.
ZELPH_LOGGER_API double GetProfileTime(const char* name);

}  // namespace zelph
