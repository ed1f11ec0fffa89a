#include "zelph/logger/timer.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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
  // The sleeps only make the totals differ; a loaded machine may stretch any of them, so
  // the order expected is that of the totals measured.
  std::vector<std::pair<double, std::size_t>> entries;  // total, place in the output
  for (const char* name : {"timer_test.a", "timer_test.b", "timer_test.c"}) {
    const std::size_t place = out.find(std::string("[PROFILE] name: ") + name + ", duration: ");
    ASSERT_NE(place, std::string::npos) << name << " in:\n" << out;
    entries.emplace_back(zelph::GetProfileTime(name), place);
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& x, const auto& y) { return x.first > y.first; });
  for (std::size_t i = 1; i < entries.size(); ++i) {
    EXPECT_LT(entries[i - 1].second, entries[i].second) << out;
  }
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

// Threads keep their own tables: what ended threads timed, what running threads timed and
// what a thread timed in its own exit all count, and a reset reaches every table.
TEST(TimerTest, EndedRunningAndExitingThreadsShareOneTable) {
  const char* name = "timer_test.merge";
  zelph::ResetProfile(name);
  std::thread([name] {
    for (int i = 0; i < 3; ++i) zelph::Timer timer(name);
  }).join();

  // Its thread-local outlives the thread's table (made later, destroyed first).
  struct TimesAtThreadExit {
    const char* name;
    ~TimesAtThreadExit() { zelph::Timer timer(name); }
  };
  std::thread([name] {
    thread_local TimesAtThreadExit at_exit{name};
    zelph::Timer timer(at_exit.name);
  }).join();

  std::mutex mutex;
  std::condition_variable changed;
  int step = 0;  // 1: the running thread timed; 2: the main thread reset; 3: timed again
  auto advance_to = [&](int next) {
    std::lock_guard lock(mutex);
    step = next;
    changed.notify_all();
  };
  auto wait_for = [&](int wanted) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return step == wanted; });
  };
  std::thread running([&] {
    for (int i = 0; i < 2; ++i) zelph::Timer timer(name);
    advance_to(1);
    wait_for(2);
    { zelph::Timer timer(name); }
    advance_to(3);
  });

  auto count_printed = [name] {
    testing::internal::CaptureStdout();
    zelph::PrintProfile(name);
    const std::string out = testing::internal::GetCapturedStdout();
    const double total = zelph::GetProfileTime(name);
    for (int count = 1; count <= 10; ++count) {
      if (out.find(fmt::format("by one: {} ms/count", total / count)) != std::string::npos) {
        return count;
      }
    }
    return out.empty() ? 0 : -1;
  };
  wait_for(1);
  EXPECT_EQ(count_printed(), 7);
  zelph::ResetProfile(name);
  EXPECT_EQ(zelph::GetProfileTime(name), 0.0);
  EXPECT_EQ(count_printed(), 0);
  advance_to(2);
  wait_for(3);
  EXPECT_EQ(count_printed(), 1);
  running.join();
  EXPECT_EQ(count_printed(), 1);
}

// Readers merge the tables while threads time, start and end.
TEST(TimerTest, ReadersAndResetsRunBesideTimings) {
  std::atomic<bool> done{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &done] {
      const std::string own = fmt::format("timer_test.reader.{}", t);
      while (!done.load()) {
        zelph::Timer shared("timer_test.reader");
        zelph::Timer timer(own.c_str());
        // Short-lived threads register and fold their tables meanwhile.
        std::thread([] { zelph::Timer timer("timer_test.reader"); }).join();
      }
    });
  }
  testing::internal::CaptureStdout();
  for (int i = 0; i < 200; ++i) {
    zelph::PrintAllProfiles();
    zelph::PrintProfile("timer_test.reader");
    EXPECT_GE(zelph::GetProfileTime("timer_test.reader.0"), -1.0);
    if (i % 10 == 0) zelph::ResetProfile("timer_test.reader");
    if (i % 50 == 0) zelph::ResetAllProfiles();
  }
  done = true;
  for (auto& thread : threads) thread.join();
  testing::internal::GetCapturedStdout();
  EXPECT_GE(zelph::GetProfileTime("timer_test.reader"), 0.0);
}

}  // namespace
