#include "zelph/logger/timer.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(TimerTest, SameNameSumsIntoOneEntry) {
  { zelph::Timer timer("timer_test.sum"); }
  const double first = zelph::GetProfileTime("timer_test.sum");
  EXPECT_GE(first, 0.0);
  {
    zelph::Timer timer("timer_test.sum");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_GE(zelph::GetProfileTime("timer_test.sum"), first + 2.0);
}

TEST(TimerTest, UnknownNamesResetAndInstantTimers) {
  EXPECT_EQ(zelph::GetProfileTime("timer_test.never"), -1.0);
  zelph::ResetProfile("timer_test.never");
  EXPECT_EQ(zelph::GetProfileTime("timer_test.never"), 0.0);

  { zelph::Timer timer("timer_test.instant"); }
  const double before = zelph::GetProfileTime("timer_test.instant");
  { zelph::InstantTimer timer("timer_test.instant"); }
  EXPECT_EQ(zelph::GetProfileTime("timer_test.instant"), before);

  zelph::ResetAllProfiles();
  EXPECT_EQ(zelph::GetProfileTime("timer_test.instant"), 0.0);
}

TEST(TimerTest, PrintsLargestTotalFirstAndSkipsEmptyEntries) {
  zelph::ResetAllProfiles();
  for (const char* name : {"timer_test.a", "timer_test.b", "timer_test.c"}) {
    zelph::ResetProfile(name);
  }
  {
    zelph::Timer a("timer_test.a");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  {
    zelph::Timer b("timer_test.b");
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
  }
  {
    zelph::Timer c("timer_test.c");
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  zelph::ResetProfile("timer_test.sum");
  testing::internal::CaptureStdout();
  zelph::PrintAllProfiles();
  const std::string out = testing::internal::GetCapturedStdout();
  const auto a = out.find("[PROFILE] name: timer_test.a, duration: ");
  const auto b = out.find("[PROFILE] name: timer_test.b, duration: ");
  const auto c = out.find("[PROFILE] name: timer_test.c, duration: ");
  ASSERT_NE(a, std::string::npos) << out;
  EXPECT_LT(b, c);
  EXPECT_LT(c, a);
  EXPECT_EQ(out.find("timer_test.sum"), std::string::npos);
}

TEST(TimerTest, ConcurrentTimingsAreAllCounted) {
  zelph::ResetProfile("timer_test.threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 1000; ++i) zelph::Timer timer("timer_test.threads");
    });
  }
  for (auto& thread : threads) thread.join();
  testing::internal::CaptureStdout();
  zelph::PrintProfile("timer_test.threads");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("[PROFILE] name: timer_test.threads, duration: "), std::string::npos);
  // by one = total / 8000
  const double total = zelph::GetProfileTime("timer_test.threads");
  EXPECT_NE(out.find(fmt::format("by one: {} ms/count", total / 8000.0)), std::string::npos) << out;
}

}  // namespace
