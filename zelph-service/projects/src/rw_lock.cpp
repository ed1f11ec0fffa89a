// rw_lock.cpp
#include "zelph/projects/rw_lock.h"

namespace zelph {

void RwLock::lock() {
  std::unique_lock guard(mutex_);
  ++waiting_writers_;
  writers_wake_.wait(guard, [this] { return !writer_ && readers_ == 0; });
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
  readers_wake_.wait(guard, [this] { return !writer_ && waiting_writers_ == 0; });
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
