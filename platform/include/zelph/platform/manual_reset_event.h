// manual_reset_event.h
//
// An event that, once set, stays set and releases every waiter, present and future, until
// it is reset. The service waits on one for its stop request while the control handler
// sets it from another thread.
//
// Threading: every member may be called from any thread at once. Set never blocks for
// longer than a short lock, so a control handler can call it and return at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zelph::sys {

class ManualResetEvent {
 public:
  ManualResetEvent() = default;
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // Blocks until the event is set.
  void Wait() const;
  // Blocks until the event is set or `timeout` has passed; true when it is set.
  bool WaitFor(std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
};

}  // namespace zelph::sys
