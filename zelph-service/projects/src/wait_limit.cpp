// wait_limit.cpp
#include "zelph/projects/wait_limit.h"

namespace zelph {
namespace {

thread_local const WaitLimit* current_limit = nullptr;

}  // namespace

WaitAbandoned::WaitAbandoned(WaitEnd end)
    : Exception(end == WaitEnd::kDeadline ? "The call's deadline passed while it waited"
                                          : "The call was cancelled while it waited"),
      end_(end) {}

const WaitLimit* CurrentWaitLimit() { return current_limit; }

const WaitLimit* SetCurrentWaitLimit(const WaitLimit* limit) {
  const WaitLimit* previous = current_limit;
  current_limit = limit;
  return previous;
}

}  // namespace zelph
