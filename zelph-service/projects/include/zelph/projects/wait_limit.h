// wait_limit.h
//
// WaitLimit: how long the calling thread may wait for a project's lock. A handler thread
// waits on behalf of a client, and a client that gave up (its deadline passed, or it
// cancelled the call) must not keep a thread of a capped pool waiting behind a long run: the
// RPC layer sets the limit of each call on the thread that serves it, and RwLock consults it
// whenever it has to wait. A thread without a limit waits as long as it takes.
//
//   ScopedWaitLimit scope(&limit);      // for the call served on this thread
//   std::unique_lock lock(project.GetLock());   // may throw WaitAbandoned
//
// A wait that ends this way has taken nothing: the caller has changed nothing under the lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "zelph/chain/exception.h"

namespace zelph {

enum class WaitEnd { kDeadline, kCancelled };

class WaitLimit {
 public:
  virtual ~WaitLimit() = default;
  // The time the wait must end by; time_point::max() for none.
  virtual std::chrono::system_clock::time_point Deadline() const = 0;
  // Whether the caller no longer wants the result; asked at least every kCancelPoll.
  virtual bool IsCancelled() const = 0;

  static constexpr std::chrono::milliseconds kCancelPoll{20};
};

// A wait given up because of the thread's WaitLimit.
class WaitAbandoned : public Exception {
 public:
  explicit WaitAbandoned(WaitEnd end);
  WaitEnd End() const { return end_; }

 private:
  WaitEnd end_;
};

// The calling thread's limit, or null.
const WaitLimit* CurrentWaitLimit();
// Sets the calling thread's limit (null: none) and answers the one it replaces. `limit` must
// stay valid while it is set.
const WaitLimit* SetCurrentWaitLimit(const WaitLimit* limit);

// Sets the calling thread's limit for its own lifetime, then restores the previous one.
class ScopedWaitLimit {
 public:
  explicit ScopedWaitLimit(const WaitLimit* limit) : previous_(SetCurrentWaitLimit(limit)) {}
  ~ScopedWaitLimit() { SetCurrentWaitLimit(previous_); }
  ScopedWaitLimit(const ScopedWaitLimit&) = delete;
  ScopedWaitLimit& operator=(const ScopedWaitLimit&) = delete;

 private:
  const WaitLimit* previous_;
};

// Waits on `wake` (with `guard` held) until `ready()`, within the calling thread's limit;
// throws WaitAbandoned, `guard` held, when the limit ends the wait first.
template <typename Ready>
void WaitWithinLimit(std::condition_variable& wake, std::unique_lock<std::mutex>& guard,
                     Ready ready) {
  const WaitLimit* limit = CurrentWaitLimit();
  if (limit == nullptr) {
    wake.wait(guard, ready);
    return;
  }
  const std::chrono::system_clock::time_point deadline = limit->Deadline();
  while (!ready()) {
    const auto now = std::chrono::system_clock::now();
    if (now >= deadline) throw WaitAbandoned(WaitEnd::kDeadline);
    if (limit->IsCancelled()) throw WaitAbandoned(WaitEnd::kCancelled);
    // Never past the deadline, and never so long that a cancellation goes unseen.
    const auto poll_end = now + WaitLimit::kCancelPoll;
    wake.wait_until(guard, deadline < poll_end ? deadline : poll_end);
  }
}

}  // namespace zelph
