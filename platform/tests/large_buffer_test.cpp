#include "zelph/platform/large_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(LargeBufferTest, ZeroFilledAlignedAndWritableToTheLastByte) {
  // Sizes that end mid-page and mid-huge-page: the tail must still be mapped.
  for (const size_t size : {size_t{1}, size_t{4097}, (size_t{6} << 20) + 123}) {
    SCOPED_TRACE(size);
    char* data = zelph::sys::AllocateLargeBuffer(size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % (size_t{2} << 20), 0u);
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[size - 1], 0);
    std::memset(data, 0x5A, size);
    EXPECT_EQ(data[size - 1], 0x5A);
    zelph::sys::FreeLargeBuffer(data, size);
  }
}

TEST(LargeBufferTest, RefusesEmptyAndUnmappableSizes) {
  EXPECT_EQ(zelph::sys::AllocateLargeBuffer(0), nullptr);
  EXPECT_EQ(zelph::sys::AllocateLargeBuffer(SIZE_MAX), nullptr);
  EXPECT_EQ(zelph::sys::AllocateLargeBuffer(SIZE_MAX / 2), nullptr);
  zelph::sys::FreeLargeBuffer(nullptr, 100);  // ignored
}

}  // namespace
