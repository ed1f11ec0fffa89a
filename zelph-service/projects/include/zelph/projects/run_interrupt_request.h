// run_interrupt_request.h
//
// RunInterruptRequest: a client's interrupt of a project's run, kept until the run ends. A
// chain clears its interrupt flag as it begins, so an interrupt that reaches an asynchronous
// run between its acceptance and the chain's start would be lost and the run would go on; the
// project therefore keeps the request and has the AbandonedCallWatch interrupt the chain on
// every look until the run ends, as it does for a caller that gave up.
//
// Threading: every member may be used from any thread.
#pragma once

#include <atomic>
#include <chrono>

#include "zelph/projects/wait_limit.h"

namespace zelph {

class RunInterruptRequest : public WaitLimit {
 public:
  std::chrono::system_clock::time_point Deadline() const override {
    return std::chrono::system_clock::time_point::max();
  }
  bool IsCancelled() const override { return requested_.load(); }

  // At the start of each run, before its caller hears that it runs.
  void Clear() { requested_.store(false); }
  void Request() { requested_.store(true); }

 private:
  std::atomic<bool> requested_{false};
};

}  // namespace zelph
