// background_tasks_test.cpp
//
// Counted background work: a burst of previews runs on the pool alone, never two of one key
// at once, and leaves the newest preview of every key stored; a waiting preview is replaced
// by a newer one; a shutdown with 100 runs and previews in flight interrupts and awaits
// them within its bound, with everything they captured already released; an interrupt that
// came before its run began is repeated; runs on their callers' threads are interrupted too;
// a straggler past the bound finishes safely after
// its owner is gone; nothing is accepted after shutdown; a task that throws ends like any
// other. Runs under the thread sanitizer as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capturing_logger.h"
#include "zelph/projects/background_tasks.h"
#include "zelph/testing/wait_count.h"
#include "zelph/testing/wait_until.h"

namespace zelph::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kBound = 20s;  // never reached unless something hangs

std::size_t ThreadCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator("/proc/self/task")) {
    ++count;
  }
  return count;
}

// A flag that threads wait for.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }
  bool IsOpen() {
    std::lock_guard lock(mutex_);
    return open_;
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

using Counter = testing::WaitCount;

// Captured by a task; counts its destruction.
struct Capture {
  explicit Capture(Counter& destroyed) : destroyed(destroyed) {}
  ~Capture() { destroyed.Add(); }
  Counter& destroyed;
};

TEST(BackgroundTasksTest, PreviewBurstKeepsThreadsBoundedAndStoresTheNewestOfEveryKey) {
  constexpr std::size_t kPoolThreads = 3;
  constexpr int kSubmitters = 8;
  constexpr int kKeys = 20;
  constexpr int kPerSubmitter = 1500;

  // The thread sanitizer starts a helper thread of its own with the first thread.
  std::thread([] {}).join();
  const std::size_t threads_before = ThreadCount();
  BackgroundTasks tasks(kPoolThreads);

  // Per key: the submission counter (its lock orders submissions, so the highest number is
  // the newest preview), the number stored last, and how many previews run right now.
  struct Key {
    std::mutex submit;
    int submitted = 0;
    std::mutex store;
    int stored = 0;
    std::atomic<int> running{0};
  };
  std::vector<Key> keys(kKeys);
  std::atomic<bool> overlap{false};
  std::atomic<bool> older_stored_later{false};
  auto token = std::make_shared<int>(0);

  std::atomic<bool> burst_over{false};
  std::size_t most_threads = 0;
  std::thread sampler([&] {
    while (!burst_over) {
      most_threads = std::max(most_threads, ThreadCount());
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> submitters;
  for (int s = 0; s < kSubmitters; ++s) {
    submitters.emplace_back([&, s] {
      for (int i = 0; i < kPerSubmitter; ++i) {
        const int k = (s * 7 + i) % kKeys;
        Key& key = keys[k];
        std::lock_guard order(key.submit);
        const int number = ++key.submitted;
        const auto preview = [&key, &overlap, &older_stored_later, number, token] {
          if (key.running.fetch_add(1) != 0) overlap = true;
          {
            std::lock_guard lock(key.store);
            if (number <= key.stored) older_stored_later = true;
            key.stored = number;
          }
          key.running.fetch_sub(1);
        };
        ASSERT_TRUE(tasks.SubmitPreview("project/worker-" + std::to_string(k), preview));
      }
    });
  }
  for (std::thread& submitter : submitters) submitter.join();
  ASSERT_TRUE(tasks.WaitIdle(kBound));
  burst_over = true;
  sampler.join();

  EXPECT_FALSE(overlap);
  EXPECT_FALSE(older_stored_later);
  for (Key& key : keys) {
    std::scoped_lock lock(key.submit, key.store);
    EXPECT_EQ(key.stored, key.submitted);
  }
  // The previews' captures are gone once the pool is idle.
  EXPECT_EQ(token.use_count(), 1);
  // Submitters and the sampler come and go; of the pool, only its own threads.
  EXPECT_LE(most_threads, threads_before + kPoolThreads + kSubmitters + 1);
}

TEST(BackgroundTasksTest, AWaitingPreviewIsReplacedByANewerOne) {
  BackgroundTasks tasks(1);
  Gate release;
  Counter started;
  std::mutex ran_mutex;
  std::vector<int> ran;
  ASSERT_TRUE(tasks.SubmitPreview("a", [&] {
    started.Add();
    release.Wait();
    std::lock_guard lock(ran_mutex);
    ran.push_back(0);
  }));
  ASSERT_TRUE(started.WaitFor(1));
  Counter destroyed;
  for (int i = 1; i <= 100; ++i) {
    ASSERT_TRUE(tasks.SubmitPreview("a", [&, i, capture = std::make_shared<Capture>(destroyed)] {
      std::lock_guard lock(ran_mutex);
      ran.push_back(i);
    }));
  }
  // The 99 replaced previews were dropped without waiting for the running one.
  EXPECT_EQ(destroyed.Get(), 99);
  release.Open();
  ASSERT_TRUE(tasks.WaitIdle(kBound));
  EXPECT_EQ(ran, (std::vector<int>{0, 100}));
  EXPECT_EQ(destroyed.Get(), 100);
}

TEST(BackgroundTasksTest, ShutdownInterruptsAndAwaitsHundredTasksInFlight) {
  constexpr int kRuns = 80;
  constexpr int kPreviews = 20;
  BackgroundTasks tasks(4);
  Counter started;
  Counter destroyed;
  Gate interrupted;
  for (int i = 0; i < kRuns; ++i) {
    auto capture = std::make_shared<Capture>(destroyed);
    ASSERT_TRUE(tasks.StartRun(
        [&, capture] {
          started.Add();
          interrupted.Wait();
        },
        [&interrupted] { interrupted.Open(); }));
  }
  Counter previews_ran;
  for (int i = 0; i < kPreviews; ++i) {
    ASSERT_TRUE(tasks.SubmitPreview("worker-" + std::to_string(i),
                                    [&, capture = std::make_shared<Capture>(destroyed)] {
                                      previews_ran.Add();
                                      interrupted.Wait();
                                    }));
  }
  // Every run and one preview per pool thread are under way.
  ASSERT_TRUE(started.WaitFor(kRuns));
  ASSERT_TRUE(previews_ran.WaitFor(4));

  EXPECT_TRUE(tasks.Shutdown(kBound));
  // Everything captured is released before the tasks stop counting, the dropped previews'
  // captures included.
  EXPECT_EQ(destroyed.Get(), kRuns + kPreviews);
  EXPECT_EQ(previews_ran.Get(), 4);
}

TEST(BackgroundTasksTest, AnInterruptThatCameBeforeTheRunBeganIsRepeated) {
  // Like a chain, the run clears its interrupt flag when it begins, and here it begins only
  // after the first interrupt has come.
  struct Chain {
    std::mutex mutex;
    std::condition_variable changed;
    int interrupts = 0;
    bool interrupted = false;
  };
  auto chain = std::make_shared<Chain>();
  BackgroundTasks tasks(1);
  ASSERT_TRUE(tasks.StartRun(
      [chain] {
        std::unique_lock lock(chain->mutex);
        chain->changed.wait(lock, [&] { return chain->interrupts > 0; });
        chain->interrupted = false;
        chain->changed.wait(lock, [&] { return chain->interrupted; });
      },
      [chain] {
        std::lock_guard lock(chain->mutex);
        ++chain->interrupts;
        chain->interrupted = true;
        chain->changed.notify_all();
      }));
  EXPECT_TRUE(tasks.Shutdown(kBound));
  EXPECT_GE(chain->interrupts, 2);
}

// Runs on their callers' threads (synchronous evaluations) are reached as the background runs
// are: by InterruptRuns at any time, and by Shutdown, which waits for them; one counted after
// Shutdown is still reached by InterruptRuns. WaitIdle leaves them out.
TEST(BackgroundTasksTest, RunsOnCallersThreadsAreReachedByInterruptsAndShutdown) {
  enum class Reach { kInterruptRuns, kShutdown, kInterruptRunsAfterShutdown };
  for (const Reach reach :
       {Reach::kInterruptRuns, Reach::kShutdown, Reach::kInterruptRunsAfterShutdown}) {
    SCOPED_TRACE(static_cast<int>(reach));
    BackgroundTasks tasks(1);
    if (reach == Reach::kInterruptRunsAfterShutdown) {
      ASSERT_TRUE(tasks.Shutdown(kBound));
    }
    Gate interrupted;
    Counter counted;
    Counter destroyed;
    std::thread caller([&] {
      const BackgroundTasks::CallingThreadRun run = tasks.CountCallingThreadRun(
          [&interrupted, capture = std::make_shared<Capture>(destroyed)] { interrupted.Open(); });
      counted.Add();
      interrupted.Wait();
    });
    EXPECT_TRUE(counted.WaitFor(1));
    EXPECT_TRUE(tasks.WaitIdle(0ms));
    if (reach == Reach::kShutdown) {
      EXPECT_TRUE(tasks.Shutdown(kBound));
      // Waited for: the run's interrupt function is gone with it.
      EXPECT_EQ(destroyed.Get(), 1);
    } else {
      tasks.InterruptRuns();
      EXPECT_TRUE(interrupted.IsOpen());
    }
    interrupted.Open();  // a run that was not reached must not hold the test
    caller.join();
    EXPECT_EQ(destroyed.Get(), 1);
  }
}

TEST(BackgroundTasksTest, StragglersPastTheBoundFinishSafelyAfterTheirOwnerIsGone) {
  Gate release;
  Counter destroyed;
  {
    BackgroundTasks tasks(1);
    Counter started;
    // Neither task listens to interrupts.
    ASSERT_TRUE(tasks.StartRun(
        [&, capture = std::make_shared<Capture>(destroyed)] {
          started.Add();
          release.Wait();
        },
        {}));
    ASSERT_TRUE(tasks.SubmitPreview("slow", [&, capture = std::make_shared<Capture>(destroyed)] {
      started.Add();
      release.Wait();
    }));
    ASSERT_TRUE(started.WaitFor(2));
    EXPECT_FALSE(tasks.Shutdown(50ms));
    EXPECT_EQ(destroyed.Get(), 0);
  }
  release.Open();
  EXPECT_TRUE(destroyed.WaitFor(2));
}

// The cap counts every kind of run in progress and the places taken for runs not yet started:
// at the cap each way of adding a run is refused with TooManyRuns, counting nothing, and a run
// that ends, a place given back unused or a place whose run was refused at shutdown makes room.
TEST(BackgroundTasksTest, RunsPastTheCapAreRefusedUntilOneMakesRoom) {
  enum class Occupant { kStartedRun, kCallingThreadRun, kPlace };
  enum class Room { kRunEnds, kPlaceGivenBack, kPlaceRefusedAtShutdown };
  struct Case {
    const char* name;
    Occupant occupant;
    Room room;
  };
  const Case kCases[] = {
      {"a started run ends", Occupant::kStartedRun, Room::kRunEnds},
      {"a run on its caller's thread ends", Occupant::kCallingThreadRun, Room::kRunEnds},
      {"a place is given back unused", Occupant::kPlace, Room::kPlaceGivenBack},
      {"a place's run is refused at shutdown", Occupant::kPlace, Room::kPlaceRefusedAtShutdown},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    BackgroundTasks tasks(1);
    tasks.SetMaxRuns(2);
    Gate release;
    Counter started;
    // One run that stays for the whole case, and the occupant that makes room.
    ASSERT_TRUE(tasks.StartRun([&] { release.Wait(); }, {}));
    std::optional<BackgroundTasks::RunPlace> place;
    std::optional<BackgroundTasks::CallingThreadRun> calling;
    Gate occupant_done;
    switch (c.occupant) {
      case Occupant::kStartedRun:
        ASSERT_TRUE(tasks.StartRun(
            [&] {
              started.Add();
              occupant_done.Wait();
            },
            {}));
        ASSERT_TRUE(started.WaitFor(1));
        break;
      case Occupant::kCallingThreadRun:
        calling.emplace(tasks.CountCallingThreadRun({}));
        break;
      case Occupant::kPlace:
        place.emplace(tasks.TakeRunPlace());
        break;
    }

    bool ran_past_cap = false;
    EXPECT_THROW((void)tasks.TakeRunPlace(), TooManyRuns);
    EXPECT_THROW((void)tasks.CountCallingThreadRun({}), TooManyRuns);
    EXPECT_THROW((void)tasks.StartRun([&] { ran_past_cap = true; }, {}), TooManyRuns);

    switch (c.room) {
      case Room::kRunEnds:
        occupant_done.Open();
        calling.reset();
        break;
      case Room::kPlaceGivenBack:
        place.reset();
        break;
      case Room::kPlaceRefusedAtShutdown:
        release.Open();
        EXPECT_TRUE(tasks.Shutdown(kBound));
        EXPECT_FALSE(tasks.StartRun(std::move(*place), [&] { ran_past_cap = true; }, {}));
        break;
    }
    // The refused runs counted nothing, so exactly one place is free again (after the
    // shutdown, the run that stayed has ended too: both are).
    const int free_places = c.room == Room::kPlaceRefusedAtShutdown ? 2 : 1;
    std::vector<BackgroundTasks::RunPlace> taken;
    for (int i = 0; i < free_places; ++i) {
      // A started run ends on its own thread: its place comes back once the thread is done.
      ASSERT_TRUE(WaitUntil([&] {
        try {
          taken.push_back(tasks.TakeRunPlace());
          return true;
        } catch (const TooManyRuns&) {
          return false;
        }
      }));
    }
    EXPECT_THROW((void)tasks.TakeRunPlace(), TooManyRuns);
    taken.clear();
    release.Open();
    EXPECT_TRUE(tasks.WaitIdle(kBound));
    EXPECT_FALSE(ran_past_cap);
  }
}

TEST(BackgroundTasksTest, NothingIsAcceptedAfterShutdown) {
  BackgroundTasks tasks(2);
  ASSERT_TRUE(tasks.Shutdown(kBound));
  Counter destroyed;
  std::atomic<bool> called{false};
  EXPECT_FALSE(
      tasks.StartRun([&, capture = std::make_shared<Capture>(destroyed)] { called = true; },
                     [&] { called = true; }));
  EXPECT_FALSE(tasks.SubmitPreview(
      "a", [&, capture = std::make_shared<Capture>(destroyed)] { called = true; }));
  // Both refused tasks were destroyed on this thread, unrun.
  EXPECT_EQ(destroyed.Get(), 2);
  EXPECT_TRUE(tasks.WaitIdle(0ms));
  EXPECT_FALSE(called);
  EXPECT_TRUE(tasks.Shutdown(0ms));
}

TEST(BackgroundTasksTest, ATaskThatThrowsEndsLikeAnyOther) {
  CapturingLogger log(ZelphSeverityLevel::kError);
  BackgroundTasks tasks(1);
  Counter ran;
  ASSERT_TRUE(tasks.StartRun([] { throw std::runtime_error("run failed"); }, {}));
  ASSERT_TRUE(tasks.SubmitPreview("a", [] { throw 7; }));
  ASSERT_TRUE(tasks.WaitIdle(kBound));
  // The pool thread survived the throw.
  ASSERT_TRUE(tasks.SubmitPreview("a", [&] { ran.Add(); }));
  EXPECT_TRUE(ran.WaitFor(1));
  EXPECT_TRUE(tasks.Shutdown(kBound));
  EXPECT_NE(log.Text().find("Background task failed: run failed"), std::string::npos);
  EXPECT_NE(log.Text().find("Background task failed with an unknown exception"), std::string::npos);
}

}  // namespace
}  // namespace zelph::testing
