// handler_slots.h
//
// HandlerSlots: the calls of one server whose handlers are running, up to a cap. A call
// takes a slot when its handler starts and gives it back when the handler returns, before
// its reply is sent: a client that waits for each answer finds its previous call's slot
// free, whichever thread of gRPC's still finishes that call.
//
// Threading: every member may be called from any thread.
#pragma once

#include <atomic>

namespace zelph::rpc {

class HandlerSlots {
 public:
  // `cap` at least 1.
  explicit HandlerSlots(int cap) : cap_(cap) {}
  HandlerSlots(const HandlerSlots&) = delete;
  HandlerSlots& operator=(const HandlerSlots&) = delete;

  // Takes a slot when fewer than Cap() are taken; false, taking nothing, otherwise.
  bool TryTake() {
    int taken = taken_.load(std::memory_order_relaxed);
    while (taken < cap_) {
      if (taken_.compare_exchange_weak(taken, taken + 1, std::memory_order_relaxed)) return true;
    }
    return false;
  }
  // Gives back a slot that TryTake took.
  void Give() { taken_.fetch_sub(1, std::memory_order_relaxed); }

  int Cap() const { return cap_; }

 private:
  const int cap_;
  std::atomic<int> taken_{0};
};

}  // namespace zelph::rpc
