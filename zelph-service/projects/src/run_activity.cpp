// run_activity.cpp
#include "zelph/projects/run_activity.h"

#include <chrono>
#include <utility>

namespace zelph {

RunActivity::Hold RunActivity::Begin(std::shared_ptr<RunActivity> activity) {
  ++activity->runs_;
  return Hold(std::move(activity));
}

RunActivity::Hold& RunActivity::Hold::operator=(Hold&& other) noexcept {
  if (this != &other) {
    End();
    activity_ = std::move(other.activity_);
  }
  return *this;
}

RunActivity::Hold::~Hold() { End(); }

void RunActivity::Hold::End() noexcept {
  if (!activity_) return;
  // The end is stamped before the count falls: a watchdog that sees no run sees its end.
  activity_->last_run_end_ns_ = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count();
  --activity_->runs_;
  activity_.reset();
}

}  // namespace zelph
