// object_status_test.cpp
//
// A status read while its run updates it: a reading never pairs a new status with the time
// of an older one.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "zelph/projects/object_status.h"

namespace zelph {
namespace {

TEST(ObjectStatusTest, AReadingWithANewStatusHasThatStatussTimeOrALaterOne) {
  // Write number i is status i at time i, so a reading is sound when its time is at least
  // its status.
  constexpr int kWrites = 2'000'000;
  ObjectStatusData data;
  std::atomic<bool> reading{false};
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    reading.wait(false);
    for (int i = 1; i <= kWrites; ++i) data.Set(i, i);
    writing = false;
  });
  long readings = 0;
  long stale_times = 0;
  reading = true;
  reading.notify_one();
  while (writing) {
    const ObjectStatusReading seen = data.Read();
    if (seen.time < seen.status) ++stale_times;
    ++readings;
  }
  writer.join();
  EXPECT_EQ(stale_times, 0) << "of " << readings << " readings";
  const ObjectStatusReading last = data.Read();
  EXPECT_EQ(last.status, kWrites);
  EXPECT_EQ(last.time, kWrites);
}

}  // namespace
}  // namespace zelph
