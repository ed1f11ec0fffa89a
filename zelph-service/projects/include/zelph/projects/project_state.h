// project_state.h
//
// The state word of a project, which keeps its loads, runs and configuration uploads from
// overlapping: each enters only from kReady, by compare-and-swap, and a second one is
// refused at once with EvaluateCancelled, never queued. However the operation ends, the
// state goes back to kReady.
//
//   ProjectStateGuard guard(state_, ProjectState::kLoading);
//   if (!guard.Entered()) throw EvaluateCancelled("Chain not ready to execute, " + id);
//   ...  // kReady again when the guard goes, whatever was thrown
#pragma once

#include <atomic>
#include <utility>

#include "zelph/chain/exception.h"

namespace zelph {

enum class ProjectState : int {
  kLoading = 0,
  kExecuting = 2,
  kReady = 4,
};

// The project is busy with another load, run or configuration upload. The command handlers
// answer it with a cancelled status instead of an error.
class EvaluateCancelled : public Exception {
 public:
  using Exception::Exception;
};

// Holds the state word away from kReady for its lifetime. Movable, so that an asynchronous
// run can hand its hold to the run thread.
class ProjectStateGuard {
 public:
  // Moves `state` from kReady to `busy`; Entered() tells whether it did.
  ProjectStateGuard(std::atomic<int>& state, ProjectState busy) noexcept : state_(&state) {
    int expected = static_cast<int>(ProjectState::kReady);
    if (!state.compare_exchange_strong(expected, static_cast<int>(busy))) state_ = nullptr;
  }
  ProjectStateGuard(ProjectStateGuard&& other) noexcept
      : state_(std::exchange(other.state_, nullptr)) {}
  ProjectStateGuard& operator=(ProjectStateGuard&&) = delete;
  ~ProjectStateGuard() {
    if (state_ != nullptr) state_->store(static_cast<int>(ProjectState::kReady));
  }

  bool Entered() const { return state_ != nullptr; }

 private:
  std::atomic<int>* state_;
};

}  // namespace zelph
