// rw_lock_test.cpp
//
// The project lock: shared holds handed to another thread, writers preferred, and mutual
// exclusion under load (judged by the thread sanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

#include "zelph/projects/rw_lock.h"

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
