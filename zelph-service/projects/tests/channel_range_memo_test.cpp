// channel_range_memo_test.cpp
//
// The memo answers for an object it has met without scanning it again, until it is cleared;
// it keeps no matrix alive, and a matrix that is gone never lends its ranges to a new one
// at the same address.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "channel_range_memo.h"

namespace zelph {
namespace {

// Allocated apart from its control block (not by make_shared), so that its memory is freed,
// and may be handed out again, while a weak pointer to it remains.
std::shared_ptr<PortDataMat> Grey(std::uint8_t low, std::uint8_t high) {
  std::shared_ptr<PortDataMat> mat(new PortDataMat());
  const std::uint8_t values[] = {low, high};
  const std::size_t dims[] = {2, 1};
  mat->SetDataAndCopy(dims, 2, 1, kDepth8U, reinterpret_cast<const char*>(values), 2);
  return mat;
}

void ExpectRange(const std::vector<ChannelRange>& ranges, double min, double max) {
  ASSERT_EQ(ranges.size(), 1u);
  EXPECT_EQ(ranges[0].min, min);
  EXPECT_EQ(ranges[0].max, max);
}

TEST(ChannelRangeMemoTest, AnObjectMetAgainIsNotScannedAgainUntilCleared) {
  ChannelRangeMemo memo;
  const std::shared_ptr<PortDataMat> mat = Grey(10, 20);
  const std::shared_ptr<IPortData> data = mat;
  ExpectRange(memo.RangesOf(data, *mat), 10, 20);
  // Changed in place, which producers never do: only a fresh scan would see it.
  const std::shared_ptr<PortDataMat> changed = Grey(1, 2);
  mat->SetDataAndCopy(changed->GetDims(), 2, 1, kDepth8U, changed->GetData(), 2);
  ExpectRange(memo.RangesOf(data, *mat), 10, 20);
  memo.Clear();
  ExpectRange(memo.RangesOf(data, *mat), 1, 2);
}

TEST(ChannelRangeMemoTest, AGoneMatrixIsNeitherKeptNorTakenForANewOne) {
  ChannelRangeMemo memo;
  std::shared_ptr<PortDataMat> gone = Grey(10, 20);
  ExpectRange(memo.RangesOf(gone, *gone), 10, 20);
  EXPECT_EQ(gone.use_count(), 1);
  const void* address = gone.get();
  gone.reset();
  // The allocator hands the freed block out again to a request of its size, mostly at once.
  std::vector<std::shared_ptr<PortDataMat>> made;
  for (int attempt = 0; attempt < 16; ++attempt) {
    made.push_back(Grey(30, 40));
    if (made.back().get() == address) break;
  }
  for (const std::shared_ptr<PortDataMat>& mat : made) {
    ExpectRange(memo.RangesOf(mat, *mat), 30, 40);
  }
}

}  // namespace
}  // namespace zelph
