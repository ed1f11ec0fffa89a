// abandoned_call_watch_test.cpp
//
// The watch of abandoned calls: a call whose deadline passed or whose caller cancelled has its
// run interrupted, again and again while it is watched (a chain that begins after an
// interrupt clears it); a call still wanted is looked at but never interrupted; a call no
// longer watched is neither looked at nor interrupted. Runs under the thread sanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "zelph/projects/abandoned_call_watch.h"
#include "zelph/testing/wait_count.h"

namespace zelph {
namespace {

using namespace std::chrono_literals;

constexpr auto kBound = 20s;  // never reached unless something hangs

// A limit a test ends at will; counts how often the watch looked at it.
class ScriptedLimit : public WaitLimit {
 public:
  explicit ScriptedLimit(
      std::chrono::system_clock::time_point deadline = std::chrono::system_clock::time_point::max())
      : deadline_(deadline) {}
  std::chrono::system_clock::time_point Deadline() const override { return deadline_; }
  bool IsCancelled() const override {
    {
      std::lock_guard lock(mutex_);
      ++looks_;
    }
    changed_.notify_all();
    return cancelled_.load();
  }
  void Cancel() { cancelled_ = true; }
  // Waits until the watch has looked `count` more times from now.
  bool WaitForLooks(int count) const {
    std::unique_lock lock(mutex_);
    const int target = looks_ + count;
    return changed_.wait_for(lock, kBound, [&] { return looks_ >= target; });
  }

 private:
  const std::chrono::system_clock::time_point deadline_;
  std::atomic<bool> cancelled_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  mutable int looks_ = 0;
};

// Counts interrupts and lets the test wait for a count.
class Interrupts : public testing::WaitCount {
 public:
  AbandonedCallWatch::Interrupt Function() {
    return [this] { Add(); };
  }
  int Count() const { return Get(); }
};

TEST(AbandonedCallWatchTest, AnAbandonedCallIsInterruptedUntilItIsNoLongerWatched) {
  enum class End { kDeadlinePassed, kCancelled };
  for (const End end : {End::kDeadlinePassed, End::kCancelled}) {
    SCOPED_TRACE(end == End::kDeadlinePassed ? "deadline passed" : "cancelled");
    AbandonedCallWatch watch(1ms);
    ScriptedLimit limit(end == End::kDeadlinePassed ? std::chrono::system_clock::now() - 1s
                                                    : std::chrono::system_clock::time_point::max());
    // A call still wanted beside it: the watch looks at it on every round.
    ScriptedLimit wanted;
    Interrupts interrupted;
    Interrupts wanted_interrupted;
    auto hold = watch.Watch(&limit, interrupted.Function());
    const auto wanted_hold = watch.Watch(&wanted, wanted_interrupted.Function());
    if (end == End::kCancelled) {
      ASSERT_TRUE(limit.WaitForLooks(3));
      EXPECT_EQ(interrupted.Count(), 0);
      limit.Cancel();
    }
    // Repeated, not once: a run that begins after an interrupt clears it.
    EXPECT_TRUE(interrupted.WaitFor(3));

    hold = AbandonedCallWatch::Hold();
    // At most one interrupt taken before the release may still come; none after it.
    ASSERT_TRUE(wanted.WaitForLooks(2));
    const int after_release = interrupted.Count();
    ASSERT_TRUE(wanted.WaitForLooks(3));
    EXPECT_EQ(interrupted.Count(), after_release);
    EXPECT_EQ(wanted_interrupted.Count(), 0);
  }
}

// A caller without a limit never gives up: nothing is watched.
TEST(AbandonedCallWatchTest, ACallWithoutALimitIsNotWatched) {
  AbandonedCallWatch watch(1ms);
  Interrupts interrupted;
  ScriptedLimit other;
  const auto hold = watch.Watch(nullptr, interrupted.Function());
  const auto other_hold = watch.Watch(&other, [] {});
  ASSERT_TRUE(other.WaitForLooks(3));
  EXPECT_EQ(interrupted.Count(), 0);
}

}  // namespace
}  // namespace zelph
