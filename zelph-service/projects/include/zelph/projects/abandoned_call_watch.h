// abandoned_call_watch.h
//
// AbandonedCallWatch: interrupts the runs whose callers gave up. A synchronous evaluation
// runs on the thread that serves its call, which cannot look at its client while the chain
// runs; a client that cancels or passes its deadline would otherwise keep that thread (one of
// a capped pool) until the chain ends by itself. The watch looks at the WaitLimit of every
// watched call (wait_limit.h) from a thread of its own and, once the limit has ended, calls
// the run's interrupt on every look until the run stops being watched: a chain that begins
// after the first interrupt clears it, so one call is not enough.
//
//   Project::CallingThreadRun run{...,
//       ServiceAbandonedCallWatch().Watch(CurrentWaitLimit(), [chain] { chain->Interrupt(); })};
//   chain->Execute(...);   // ends soon after the client gives up
//
// How soon is up to the worker in progress: the interrupt reaches it (IDataProcess::Interrupt)
// and the chain stops at its next worker, so a worker that polls its interrupt often frees the
// thread at once, and one that never does frees it when it ends.
//
// Threading: Watch, the holds and the destructor may be used from any thread; interrupts run
// on the watch's thread, outside its lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "zelph/projects/wait_limit.h"

namespace zelph {

// The list of watched calls that the watch's thread shares with the holds.
struct AbandonedCallWatchState;

class AbandonedCallWatch {
 public:
  using Interrupt = std::function<void()>;
  class Hold;

  // Starts the watch's thread, which looks at the watched limits every `look_interval`.
  // Throws std::system_error when it cannot be started.
  explicit AbandonedCallWatch(std::chrono::milliseconds look_interval = WaitLimit::kCancelPoll);
  // Stops and joins the thread. Holds must not outlive the watch.
  ~AbandonedCallWatch();
  AbandonedCallWatch(const AbandonedCallWatch&) = delete;
  AbandonedCallWatch& operator=(const AbandonedCallWatch&) = delete;

  // Watches `limit` until the returned hold is destroyed, and calls `interrupt` on every look
  // once the limit has ended (its deadline passed or its caller cancelled). `limit` must stay
  // valid while the hold lives; `interrupt` must be safe to call at any time, also after the
  // run has ended. A null `limit` (a caller that never gives up) gives an empty hold.
  [[nodiscard]] Hold Watch(const WaitLimit* limit, Interrupt interrupt);

 private:
  std::shared_ptr<AbandonedCallWatchState> state_;
  std::thread thread_;  // last: it starts once the state exists
};

// One watched call. Movable; once it is destroyed the call is no longer looked at, though
// an interrupt that the watch's thread took just before may still run once.
class AbandonedCallWatch::Hold {
 public:
  Hold() = default;
  Hold(Hold&& other) noexcept;
  Hold& operator=(Hold&& other) noexcept;
  ~Hold();

 private:
  friend class AbandonedCallWatch;
  Hold(std::shared_ptr<AbandonedCallWatchState> state, std::uint64_t id);
  void Release() noexcept;

  std::shared_ptr<AbandonedCallWatchState> state_;
  std::uint64_t id_ = 0;
};

// The watch of the service's synchronous runs: made on first use, never destroyed, so a
// handler thread still running at exit finds it.
AbandonedCallWatch& ServiceAbandonedCallWatch();

}  // namespace zelph
