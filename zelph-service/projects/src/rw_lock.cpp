// rw_lock.cpp
#include "zelph/projects/rw_lock.h"

#include "zelph/projects/wait_limit.h"

namespace zelph {

void RwLock::lock() {
  std::unique_lock guard(mutex_);
  ++waiting_writers_;
  try {
    WaitWithinLimit(writers_wake_, guard, [this] { return !writer_ && readers_ == 0; });
  } catch (...) {
    // Readers that queued behind this writer need not wait for it any more.
    if (--waiting_writers_ == 0 && !writer_) readers_wake_.notify_all();
    throw;
  }
  --waiting_writers_;
  writer_ = true;
}

bool RwLock::try_lock() {
  std::lock_guard guard(mutex_);
  if (writer_ || readers_ != 0) return false;
  writer_ = true;
  return true;
}

void RwLock::unlock() {
  {
    std::lock_guard guard(mutex_);
    exclusive_holds_ended_.fetch_add(1, std::memory_order_release);
    writer_ = false;
    if (waiting_writers_ != 0) {
      writers_wake_.notify_one();
      return;
    }
  }
  readers_wake_.notify_all();
}

void RwLock::lock_shared() {
  std::unique_lock guard(mutex_);
  WaitWithinLimit(readers_wake_, guard, [this] { return !writer_ && waiting_writers_ == 0; });
  ++readers_;
}

bool RwLock::try_lock_shared() {
  std::lock_guard guard(mutex_);
  if (writer_ || waiting_writers_ != 0) return false;
  ++readers_;
  return true;
}

void RwLock::unlock_shared() {
  std::lock_guard guard(mutex_);
  if (--readers_ == 0 && waiting_writers_ != 0) writers_wake_.notify_one();
}

}  // namespace zelph
