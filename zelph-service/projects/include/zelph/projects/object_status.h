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

// A status and its time as one reader saw them (ObjectStatusData::Read).
struct ObjectStatusReading {
  int status = 0;
  std::int64_t time = 0;
};

struct ObjectStatusData {
  // Microseconds of the monotonic clock from that clock's own zero: only differences and
  // order mean anything.
  static std::int64_t Now() { return At(std::chrono::steady_clock::now()); }
  // The same stamp for a time of that clock already read, such as a worker's start.
  static std::int64_t At(std::chrono::steady_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
  }

  // Sets both in place, the time first, then the status. One writer at a time (the run
  // that owns the object); readers may read meanwhile.
  void Set(int new_status, std::int64_t new_time) {
    time.store(new_time);
    status.store(new_status);
  }
  // The status first, then the time: since Set writes them the other way round, a reading
  // with a new status has that status's time or a later one. At worst a new time pairs with
  // the old status for a moment, never an old time with the new status.
  ObjectStatusReading Read() const {
    ObjectStatusReading reading;
    reading.status = status.load();
    reading.time = time.load();
    return reading;
  }

  std::string text;  // always left empty by this system
  std::atomic<int> status{0};
  std::atomic<std::int64_t> time{0};
};

}  // namespace zelph
