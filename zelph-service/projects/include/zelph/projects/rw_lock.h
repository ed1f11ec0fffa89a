// rw_lock.h
//
// RwLock: the reader/writer lock of a project. Unlike std::shared_mutex it is not tied to
// the thread that took it: a shared hold taken on a request thread may be released by
// another thread, so an asynchronous run can take the project shared on the request thread
// and hand the hold (a std::shared_lock<RwLock>, moved) to its run thread without a gap in
// which an edit could slip in.
//
// Writers are preferred: once a writer waits, new shared holds wait behind it, so a stream
// of readers cannot starve structural edits. The price is that a thread must never take the
// lock shared while it already holds it (a waiting writer would deadlock both).
//
// lock() and lock_shared() wait within the calling thread's WaitLimit (wait_limit.h): a
// handler whose client gave up throws WaitAbandoned, holding nothing, instead of waiting out
// the run in progress. A writer that gives up lets the readers it held back in.
//
// Satisfies the standard SharedLockable requirements (std::unique_lock, std::shared_lock).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zelph {

class RwLock {
 public:
  RwLock() = default;
  RwLock(const RwLock&) = delete;
  RwLock& operator=(const RwLock&) = delete;

  // Both may throw WaitAbandoned (wait_limit.h).
  void lock();
  bool try_lock();
  void unlock();

  void lock_shared();
  bool try_lock_shared();
  void unlock_shared();

  // How many exclusive holds have ended: whatever was built from the guarded state under a
  // shared hold stays true while this count is unchanged. Constant while the caller holds
  // the lock shared.
  std::uint64_t ExclusiveHoldsEnded() const {
    return exclusive_holds_ended_.load(std::memory_order_acquire);
  }

 private:
  std::mutex mutex_;
  std::condition_variable readers_wake_;
  std::condition_variable writers_wake_;
  int readers_ = 0;
  int waiting_writers_ = 0;
  bool writer_ = false;
  std::atomic<std::uint64_t> exclusive_holds_ended_{0};
};

}  // namespace zelph
