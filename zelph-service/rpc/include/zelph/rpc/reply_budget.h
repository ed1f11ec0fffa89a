// reply_budget.h
//
// ReplyBudget: the bytes that the replies of one service may hold at once, from the moment a
// handler puts them into its reply until gRPC has sent them (or given up sending them). A
// client that stops reading leaves its replies in the server's memory; the budget bounds
// what any number of such calls can hold, and a call that would pass it is refused instead.
//
// When a large amount drains (the bytes in flight fall below a kReleaseBelowPeakPart-th of
// their peak since the last drain, and that peak reached kReleaseAfterBytes), the budget
// calls its drain hook, which the program points at the allocator, so that the memory those
// replies held goes back to the system even while some replies still wait to be sent. The
// same hook gives back what clients' data held once it is gone (a cache entry removed or
// replaced, a project or session removed, a session expired): those bytes are noted with
// NoteFreed and release once kReleaseAfterFreedBytes of them have added up.
//
// Threading: every member may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

namespace zelph::rpc {

class ReplyBudget {
 public:
  // The least peak of bytes in flight after which a drain calls the hook.
  static constexpr std::uint64_t kReleaseAfterBytes = std::uint64_t{256} << 20;
  // A drain: the bytes in flight fall below this part of their peak.
  static constexpr std::uint64_t kReleaseBelowPeakPart = 4;
  // The bytes of clients' data freed outside replies after which the hook runs.
  static constexpr std::uint64_t kReleaseAfterFreedBytes = std::uint64_t{64} << 20;

  // `limit_bytes` at least 1. `on_drained` (may be empty) runs on the thread whose Give
  // makes the drain, without a lock held.
  explicit ReplyBudget(std::uint64_t limit_bytes, std::function<void()> on_drained = {});
  ReplyBudget(const ReplyBudget&) = delete;
  ReplyBudget& operator=(const ReplyBudget&) = delete;

  // Takes `bytes` when they fit beside what is in flight; false, taking nothing, otherwise.
  bool Take(std::uint64_t bytes);
  // Gives back bytes that Take took.
  void Give(std::uint64_t bytes);

  // Notes `bytes` of clients' data that went (a cache entry, a project, a session), so that
  // their memory goes back to the system as that of drained replies does.
  void NoteFreed(std::uint64_t bytes);

  std::uint64_t Limit() const { return limit_bytes_; }
  std::uint64_t InFlight() const;

 private:
  const std::uint64_t limit_bytes_;
  const std::function<void()> on_drained_;
  mutable std::mutex mutex_;
  std::uint64_t in_flight_bytes_ = 0;
  std::uint64_t freed_bytes_ = 0;  // noted by NoteFreed since the hook last ran for them
  std::uint64_t peak_bytes_ = 0;   // the most in flight since the last drain (or what it left)
};

}  // namespace zelph::rpc
