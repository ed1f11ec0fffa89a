// reply_budget.cpp
#include "zelph/rpc/reply_budget.h"

#include <algorithm>
#include <utility>

namespace zelph::rpc {

ReplyBudget::ReplyBudget(std::uint64_t limit_bytes, std::function<void()> on_drained)
    : limit_bytes_(std::max<std::uint64_t>(limit_bytes, 1)), on_drained_(std::move(on_drained)) {}

bool ReplyBudget::Take(std::uint64_t bytes) {
  std::lock_guard lock(mutex_);
  if (bytes > limit_bytes_ - in_flight_bytes_) return false;
  in_flight_bytes_ += bytes;
  peak_bytes_ = std::max(peak_bytes_, in_flight_bytes_);
  return true;
}

void ReplyBudget::Give(std::uint64_t bytes) {
  bool drained = false;
  {
    std::lock_guard lock(mutex_);
    in_flight_bytes_ -= std::min(bytes, in_flight_bytes_);
    // Whatever still waits (a reply its client never reads, steady small traffic), most of
    // what the peak held is free once the bytes in flight are a small part of it.
    if (in_flight_bytes_ < peak_bytes_ / kReleaseBelowPeakPart) {
      drained = peak_bytes_ >= kReleaseAfterBytes;
      peak_bytes_ = in_flight_bytes_;
    }
  }
  if (drained && on_drained_) on_drained_();
}

void ReplyBudget::NoteFreed(std::uint64_t bytes) {
  bool release = false;
  {
    std::lock_guard lock(mutex_);
    freed_bytes_ += bytes;
    if (freed_bytes_ >= kReleaseAfterFreedBytes) {
      release = true;
      freed_bytes_ = 0;
    }
  }
  if (release && on_drained_) on_drained_();
}

std::uint64_t ReplyBudget::InFlight() const {
  std::lock_guard lock(mutex_);
  return in_flight_bytes_;
}

}  // namespace zelph::rpc
