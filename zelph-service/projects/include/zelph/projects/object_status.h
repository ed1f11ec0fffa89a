// object_status.h
//
// The status of a worker or of a chain within its project: a small code (queue, executing,
// ready) and the time it was set. A project keeps one ObjectStatusData per object id in a
// ShardedMap of shared pointers; readers may hold the object while a run updates it, so
// status and time are atomic and written in place.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace zelph {

enum class ObjectStatus : int {
  kQueue = 1,
  kExecuting = 2,
  kReady = 3,
};

// "queue", "executing", "ready"; "undefined" for any other value.
const char* ObjectStatusText(int status);

struct ObjectStatusData {
  // Microseconds of the monotonic clock from that clock's own zero: only differences and
  // order mean anything.
  static std::int64_t Now() { return At(std::chrono::steady_clock::now()); }
  // The same stamp for a time of that clock already read, such as a worker's start.
  static std::int64_t At(std::chrono::steady_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
  }

  std::string text;  // always left empty by this system
  std::atomic<int> status{0};
  std::atomic<std::int64_t> time{0};
};

}  // namespace zelph
