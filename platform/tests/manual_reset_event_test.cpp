#include "zelph/platform/manual_reset_event.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using zelph::sys::ManualResetEvent;

TEST(ManualResetEventTest, SetReleasesEveryWaiterUntilReset) {
  ManualResetEvent event;
  EXPECT_FALSE(event.WaitFor(std::chrono::milliseconds(1)));
  std::vector<std::thread> waiters;
  for (int i = 0; i < 4; ++i) waiters.emplace_back([&event] { event.Wait(); });
  event.Set();
  for (std::thread& waiter : waiters) waiter.join();
  EXPECT_TRUE(event.WaitFor(std::chrono::milliseconds(0)));  // stays set for later waiters
  event.Reset();
  EXPECT_FALSE(event.IsSet());
}

}  // namespace
