// wait_count.h
//
// WaitCount: a count that other threads raise and a test waits for, bounded so that a fault
// shows as a failed assertion instead of a hung test program.
//
// Threading: every member may be used from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zelph::testing {

class WaitCount {
 public:
  // Notifies under the lock: a waiter may destroy the count as soon as it sees the new value.
  void Add() {
    std::lock_guard lock(mutex_);
    ++count_;
    changed_.notify_all();
  }
  int Get() const {
    std::lock_guard lock(mutex_);
    return count_;
  }
  // Whether the count reached `count` within `bound`.
  bool WaitFor(int count, std::chrono::seconds bound = std::chrono::seconds(20)) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, bound, [&] { return count_ >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  int count_ = 0;
};

}  // namespace zelph::testing
