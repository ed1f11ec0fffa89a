// rw_lock_test.cpp
//
// The project lock: shared holds handed to another thread, writers preferred, waits that end
// at the thread's limit, and mutual exclusion under load (judged by the thread sanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <thread>
#include <vector>

#include "zelph/projects/rw_lock.h"
#include "zelph/projects/wait_limit.h"

namespace zelph {
namespace {

TEST(RwLockTest, ASharedHoldTakenOnOneThreadIsReleasedByAnother) {
  RwLock lock;
  std::shared_lock hold(lock);
  EXPECT_FALSE(lock.try_lock());
  std::thread([hold = std::move(hold)]() mutable { hold.unlock(); }).join();
  EXPECT_TRUE(lock.try_lock());
  lock.unlock();
}

TEST(RwLockTest, AWaitingWriterGoesBeforeNewReaders) {
  RwLock lock;
  std::shared_lock first_reader(lock);
  std::atomic<bool> written{false};
  std::thread writer([&] {
    std::unique_lock exclusive(lock);
    written = true;
  });
  // New shared holds succeed until the writer waits, then they are refused.
  while (lock.try_lock_shared()) {
    lock.unlock_shared();
    std::this_thread::yield();
  }
  EXPECT_FALSE(written);
  first_reader.unlock();
  std::shared_lock later_reader(lock);  // waits for the writer
  EXPECT_TRUE(written);
  later_reader.unlock();
  writer.join();
}

// A limit whose deadline and cancellation a test sets.
class TestLimit : public WaitLimit {
 public:
  std::chrono::system_clock::time_point Deadline() const override { return deadline; }
  bool IsCancelled() const override { return cancelled; }

  std::chrono::system_clock::time_point deadline = std::chrono::system_clock::time_point::max();
  std::atomic<bool> cancelled{false};
};

enum class Blocked { kWriterBehindReader, kReaderBehindWriter };

TEST(RwLockTest, AWaitEndsAtTheThreadsLimitHoldingNothing) {
  struct Case {
    Blocked blocked;
    WaitEnd end;
  };
  for (const Case& c : {Case{Blocked::kWriterBehindReader, WaitEnd::kDeadline},
                        Case{Blocked::kWriterBehindReader, WaitEnd::kCancelled},
                        Case{Blocked::kReaderBehindWriter, WaitEnd::kDeadline},
                        Case{Blocked::kReaderBehindWriter, WaitEnd::kCancelled}}) {
    SCOPED_TRACE(static_cast<int>(c.blocked) * 2 + static_cast<int>(c.end));
    RwLock lock;
    std::shared_lock<RwLock> reader(lock, std::defer_lock);
    std::unique_lock<RwLock> writer(lock, std::defer_lock);
    if (c.blocked == Blocked::kWriterBehindReader) {
      reader.lock();
    } else {
      writer.lock();
    }
    TestLimit limit;
    if (c.end == WaitEnd::kDeadline) {
      limit.deadline = std::chrono::system_clock::now() + std::chrono::milliseconds(50);
    } else {
      limit.cancelled = true;
    }
    std::optional<WaitEnd> ended;
    std::thread waiter([&] {
      ScopedWaitLimit scope(&limit);
      try {
        if (c.blocked == Blocked::kWriterBehindReader) {
          std::unique_lock exclusive(lock);
        } else {
          std::shared_lock shared(lock);
        }
      } catch (const WaitAbandoned& e) {
        ended = e.End();
      }
    });
    waiter.join();
    EXPECT_EQ(ended, c.end);
    // The waiter left nothing behind: once the holder goes, both kinds of hold succeed.
    if (reader.owns_lock()) reader.unlock();
    if (writer.owns_lock()) writer.unlock();
    EXPECT_TRUE(lock.try_lock());
    lock.unlock();
    EXPECT_TRUE(lock.try_lock_shared());
    lock.unlock_shared();
  }
}

TEST(RwLockTest, AWriterThatGivesUpLetsTheReadersBehindItIn) {
  RwLock lock;
  std::shared_lock first_reader(lock);
  TestLimit limit;
  std::atomic<bool> gave_up{false};
  std::thread writer([&] {
    ScopedWaitLimit scope(&limit);
    try {
      std::unique_lock exclusive(lock);
    } catch (const WaitAbandoned&) {
      gave_up = true;
    }
  });
  while (lock.try_lock_shared()) {  // until the writer waits
    lock.unlock_shared();
    std::this_thread::yield();
  }
  std::atomic<bool> second_read{false};
  std::thread reader([&] {
    std::shared_lock second_reader(lock);  // queued behind the writer
    second_read = true;
  });
  limit.cancelled = true;
  reader.join();  // returns only once the writer has given up, the first reader still in
  EXPECT_TRUE(second_read);
  writer.join();
  EXPECT_TRUE(gave_up);
}

TEST(RwLockTest, WritersExcludeEveryoneReadersOnlyWriters) {
  RwLock lock;
  int value = 0;  // guarded by `lock`; the sanitizer reports any unguarded access
  std::atomic<int> readers_inside{0};
  std::atomic<bool> overlap{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if ((i + t) % 4 == 0) {
          std::unique_lock exclusive(lock);
          if (readers_inside != 0) overlap = true;
          ++value;
        } else {
          std::shared_lock shared(lock);
          ++readers_inside;
          [[maybe_unused]] volatile int seen = value;
          --readers_inside;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(overlap);
  EXPECT_EQ(value, 8 * 500);
}

}  // namespace
}  // namespace zelph
