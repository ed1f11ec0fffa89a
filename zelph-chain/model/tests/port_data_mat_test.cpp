// port_data_mat_test.cpp
//
// Matrices: depths, shapes and sizes, the per-channel scan and the remembered channel ranges,
// copies, setters, lent buffers and the checked byte size that guards every walk of the
// buffer by its dims.
#include "zelph/model/port_data_mat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "capturing_logger.h"

namespace zelph {
namespace {

constexpr size_t kNone = static_cast<size_t>(-1);

template <typename T>
std::unique_ptr<PortDataMat> Mat(size_t width, size_t height, int channels, MatDepth depth,
                                 const std::vector<T>& values) {
  auto mat = std::make_unique<PortDataMat>();
  mat->SetDataAndCopy(width, height, channels, depth, reinterpret_cast<const char*>(values.data()),
                      values.size() * sizeof(T));
  return mat;
}

TEST(MatDepthTest, CodesRangesAndSizes) {
  struct Case {
    int code;
    MatDepth depth;
    int min, max;
    size_t bytes;
  };
  const Case cases[] = {
      {0, kDepth8U, 0, 255, 1},         {1, kDepth8S, -128, 127, 1}, {2, kDepth16U, 0, 65535, 2},
      {3, kDepth16S, -32768, 32767, 2}, {4, kDepth32S, 0, 0, 4},     {5, kDepth32F, 0, 1, 4},
      {6, kDepth64F, 0, 1, 8},          {101, kDepth1Bit, 0, 1, 0},  {7, kDepth8U, 0, 255, 1},
      {100, kDepth8U, 0, 255, 1},       {-1, kDepth8U, 0, 255, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(MatDepthFromCode(c.code), c.depth);
    int min = -7, max = -7;
    MathDepthRange(c.depth, min, max);
    EXPECT_EQ(min, c.min);
    EXPECT_EQ(max, c.max);
    EXPECT_EQ(MatDepthBytes(c.depth), c.bytes);
  }
  int min = -7, max = -7;
  MathDepthRange(static_cast<MatDepth>(42), min, max);
  EXPECT_EQ(min, 0);
  EXPECT_EQ(max, 0);
}

TEST(PortDataMatTest, DefaultMatrix) {
  PortDataMat mat;
  EXPECT_EQ(mat.GetWidth(), kNone);
  EXPECT_EQ(mat.GetHeight(), kNone);
  EXPECT_EQ(mat.GetDim(0), kNone);
  double min = 0, max = 0;
  mat.GetChannelMinMax(0, min, max);
  EXPECT_EQ(min, -1);
  EXPECT_EQ(max, -1);
  EXPECT_EQ(mat.ToString(), "mat byte 0x (8-bit) [0 bytes]");
  EXPECT_FALSE(mat.IsInitialized());
  EXPECT_THROW(mat.RemoveChannel(0), std::runtime_error);
}

// Zero-filled n-dimensional matrices of every depth: dims {3, 2}, 3 channels.
TEST(PortDataMatTest, ShapedConstructorSizesEveryDepth) {
  struct Case {
    MatDepth depth;
    size_t size;
    char bits;
    const char* description;
  };
  const Case cases[] = {
      {kDepth8U, 18, 8, "mat byte 3x3x2 (8-bit) [18 bytes]"},
      {kDepth8S, 18, 8, "mat byte 3x3x2 (8-bit, signed) [18 bytes]"},
      {kDepth16U, 36, 16, "mat short 3x3x2 (16-bit) [36 bytes]"},
      {kDepth16S, 36, 16, "mat short 3x3x2 (16-bit, signed) [36 bytes]"},
      {kDepth32S, 72, 32, "mat int 3x3x2 (32-bit, signed) [72 bytes]"},
      {kDepth32F, 72, 32, "mat float 3x3x2 (32-bit, signed) [72 bytes]"},
      {kDepth64F, 144, 64, "mat double 3x3x2 (64-bit, signed) [144 bytes]"},
      {kDepth1Bit, 3, 1, "mat boolean 3x3x2 (1-bit) [3 bytes]"},  // 18 bits, rounded up
      {static_cast<MatDepth>(9), 0, 0, "mat  3x3x2  [0 bytes]"},
  };
  const size_t dims[] = {3, 2};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.depth);
    PortDataMat mat(dims, 2, c.depth, 3);
    EXPECT_EQ(mat.GetSize(), c.size);
    EXPECT_EQ(mat.GetBitsPerElement(), c.bits);
    EXPECT_EQ(mat.ToString(), c.description);
    EXPECT_TRUE(mat.IsInitialized());
    EXPECT_EQ(mat.GetWidth(), 3u);
    EXPECT_EQ(mat.GetHeight(), 2u);
    for (size_t i = 0; i < mat.GetSize(); ++i) EXPECT_EQ(mat.GetData()[i], 0);
  }
}

TEST(PortDataMatTest, ChannelMinMaxPerDepth) {
  struct Case {
    std::unique_ptr<PortDataMat> mat;
    int channel;
    double min, max;
  };
  Case cases[] = {
      {Mat<std::uint8_t>(4, 2, 1, kDepth8U, {0, 1, 2, 3, 4, 5, 6, 7}), 0, 0, 7},
      {Mat<std::uint8_t>(2, 1, 2, kDepth8U, {10, 200, 30, 40}), 0, 10, 30},
      {Mat<std::uint8_t>(2, 1, 2, kDepth8U, {10, 200, 30, 40}), 1, 40, 200},
      {Mat<std::uint8_t>(2, 1, 2, kDepth8U, {10, 200, 30, 40}), 2, -1, -1},
      {Mat<std::uint8_t>(2, 1, 2, kDepth8U, {10, 200, 30, 40}), -1, -1, -1},
      {Mat<std::uint8_t>(1, 1, 1, kDepth8U, {0xFF}), 0, 255, 255},
      {Mat<std::uint8_t>(1, 1, 1, kDepth8S, {0xFF}), 0, -1, -1},
      {Mat<std::uint16_t>(2, 1, 1, kDepth16U, {65535, 3}), 0, 3, 65535},
      {Mat<std::int16_t>(2, 1, 1, kDepth16S, {-300, 3}), 0, -300, 3},
      {Mat<std::int32_t>(2, 1, 1, kDepth32S, {-70000, 9}), 0, -70000, 9},
      {Mat<float>(3, 1, 1, kDepth32F, {0.5f, -2.25f, 8}), 0, -2.25, 8},
      {Mat<double>(1, 1, 2, kDepth64F, {1e300, -1e-300}), 1, -1e-300, -1e-300},
      // 1-bit data ignores the channel and looks at every bit.
      {Mat<std::uint8_t>(8, 1, 1, kDepth1Bit, {0x00}), 0, 0, 0},
      {Mat<std::uint8_t>(8, 1, 1, kDepth1Bit, {0xFF}), 0, 1, 1},
      {Mat<std::uint8_t>(16, 1, 1, kDepth1Bit, {0xFF, 0x01}), 0, 0, 1},
      // The channel's first value lies beyond the buffer: the size, not the dims, bounds it.
      {Mat<std::uint16_t>(100, 100, 4, kDepth16U, {7}), 0, 7, 7},
      {Mat<std::uint16_t>(100, 100, 4, kDepth16U, {7}), 1, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mat->ToString() + " channel " + std::to_string(c.channel));
    double min = 99, max = 99;
    c.mat->GetChannelMinMax(c.channel, min, max);
    EXPECT_EQ(min, c.min);
    EXPECT_EQ(max, c.max);
  }
}

TEST(PortDataMatTest, SettersResetButKeepTheEncodedText) {
  auto mat = Mat<std::uint8_t>(4, 2, 1, kDepth8U, {0, 1, 2, 3, 4, 5, 6, 7});
  EXPECT_EQ(mat->GetWidth(), 4u);
  EXPECT_EQ(mat->GetHeight(), 2u);
  EXPECT_TRUE(mat->IsInitialized());
  mat->SetEncoded("jpeg");
  mat->SetEncoded(mat->GetEncoded());

  mat->SetDataAndCopy(4, 2, 1, kDepth8U, "x", 0);
  EXPECT_EQ(mat->GetDimsSize(), 0);
  EXPECT_EQ(mat->GetSize(), 0u);
  EXPECT_FALSE(mat->IsInitialized());
  EXPECT_EQ(mat->GetEncoded(), "jpeg");

  mat->SetDataAndCopy(4, 2, 1, kDepth8U, nullptr, 8);  // no source: stays reset
  EXPECT_EQ(mat->GetSize(), 0u);

  const size_t dims[] = {2, 2, 2};
  mat->SetDataAndCopy(dims, 3, 1, kDepth8U, "abcdefgh", 8);
  EXPECT_EQ(mat->ToString(), "mat byte 1x2x2x2 (8-bit) [8 bytes]");
  EXPECT_EQ(mat->GetDim(2), 2u);
  EXPECT_EQ(mat->GetDim(3), kNone);
  EXPECT_EQ(mat->GetDim(-1), kNone);

  mat->SetAllocatedData(4, 2, 3, kDepth8U, new char[24](), 24);
  EXPECT_EQ(mat->ToString(), "mat byte 3x4x2 (8-bit) [24 bytes]");
}

TEST(PortDataMatTest, CopyIsDeepAndDropsTheEncodedText) {
  auto mat = Mat<std::uint8_t>(2, 1, 2, kDepth8U, {10, 200, 30, 40});
  mat->SetEncoded("jpeg");
  mat->SetFlags(0x20 | kInitialized);
  PortDataMat copy(*mat);
  EXPECT_EQ(copy.GetEncoded(), "");
  EXPECT_EQ(copy.ToString(), mat->ToString());
  EXPECT_EQ(copy.GetFlags(), 0x20 | kInitialized);
  ASSERT_NE(copy.GetData(), mat->GetData());
  EXPECT_EQ(std::memcmp(copy.GetData(), mat->GetData(), 4), 0);

  const PortDataMat empty;
  PortDataMat empty_copy(empty);
  EXPECT_EQ(empty_copy.GetData(), nullptr);
  EXPECT_EQ(empty_copy.GetDims(), nullptr);
}

// Setters stay lenient (a JPEG preview stores its bytes with channel count 0); readers
// that walk by dims check the expected size first.
TEST(PortDataMatTest, ExpectedByteSizeGuardsShortAndOverflowingShapes) {
  auto jpeg = Mat<char>(640, 480, 0, kDepth8U, {'\xFF', '\xD8', '\xFF'});
  EXPECT_TRUE(jpeg->IsInitialized());
  EXPECT_EQ(jpeg->ExpectedByteSize(), 0u);

  auto short_buffer = Mat<std::uint8_t>(100, 100, 3, kDepth8U, {1, 2, 3});
  EXPECT_EQ(short_buffer->ExpectedByteSize(), 30000u);
  EXPECT_FALSE(short_buffer->HasCompleteBuffer());

  auto exact = Mat<std::uint16_t>(2, 2, 1, kDepth16U, {1, 2, 3, 4});
  EXPECT_TRUE(exact->HasCompleteBuffer());

  const size_t huge = std::numeric_limits<size_t>::max() / 2;
  auto overflow = Mat<std::uint8_t>(huge, 3, 1, kDepth8U, {1});
  EXPECT_EQ(overflow->ExpectedByteSize(), std::nullopt);
  EXPECT_FALSE(overflow->HasCompleteBuffer());

  auto negative = Mat<std::uint8_t>(1, 1, -3, kDepth8U, {1});
  EXPECT_EQ(negative->ExpectedByteSize(), std::nullopt);

  testing::CapturingLogger log;
  const size_t dims[] = {huge, 4};
  PortDataMat refused(dims, 2, kDepth32F, 1);
  EXPECT_EQ(refused.GetData(), nullptr);
  EXPECT_EQ(refused.GetSize(), 0u);
  EXPECT_FALSE(refused.IsInitialized());
  EXPECT_NE(log.Text().find("Can't allocate memmory, block size:"), std::string::npos);

  PortDataMat negative_channels(dims, 2, kDepth8U, -1);
  EXPECT_EQ(negative_channels.GetData(), nullptr);
  PortDataMat no_dims(nullptr, -2, kDepth8U, 1);
  EXPECT_EQ(no_dims.GetDimsSize(), 0);
  EXPECT_EQ(no_dims.GetSize(), 0u);
}

// Matrices of several megabytes live in their own mappings; every way in and out of one must
// keep the bytes and release the buffer with the call that matches its origin.
TEST(PortDataMatTest, LargeBuffersCopyZeroFillAndHandOver) {
  const size_t dims[] = {1024, 1024};
  PortDataMat shaped(dims, 2, kDepth32F, 3);  // 12 MB
  ASSERT_EQ(shaped.GetSize(), size_t{12} << 20);
  const char* bytes = shaped.GetData();
  EXPECT_TRUE(std::all_of(bytes, bytes + shaped.GetSize(), [](char b) { return b == 0; }));
  for (size_t i = 0; i < shaped.GetSize(); ++i) shaped.GetData()[i] = static_cast<char>(i * 7);

  PortDataMat copy(shaped);
  ASSERT_EQ(copy.GetSize(), shaped.GetSize());
  EXPECT_EQ(std::memcmp(copy.GetData(), shaped.GetData(), shaped.GetSize()), 0);

  PortDataMat set;
  set.SetDataAndCopy(dims, 2, 3, kDepth32F, shaped.GetData(), shaped.GetSize());
  EXPECT_EQ(std::memcmp(set.GetData(), shaped.GetData(), shaped.GetSize()), 0);
  set.SetDataAndCopy(4, 1, 1, kDepth8U, "abcd", 4);  // large buffer out, small one in
  EXPECT_EQ(std::string(set.GetData(), 4), "abcd");

  // A handed-over buffer of the same size came from new[] and goes back with delete[].
  const size_t size = shaped.GetSize();
  char* handed = new char[size]();
  set.SetAllocatedData(1024, 1024, 12, kDepth8U, handed, size);
  EXPECT_EQ(set.GetData(), handed);
  PortDataMat copy_of_handed(set);
  EXPECT_NE(copy_of_handed.GetData(), handed);
  set.ResetData();
  EXPECT_EQ(set.GetData(), nullptr);
}

// Lent bytes are used where they lie, and their owner is let go with the buffer however the
// matrix lets go of it.
TEST(PortDataMatTest, LentBytesAreUsedInPlaceAndTheirOwnerReleasedWithTheBuffer) {
  struct Case {
    const char* name;
    std::function<void(std::unique_ptr<PortDataMat>&)> let_go;
  };
  const Case kCases[] = {
      {"reset", [](std::unique_ptr<PortDataMat>& mat) { mat->ResetData(); }},
      {"copied bytes set anew",
       [](std::unique_ptr<PortDataMat>& mat) { mat->SetDataAndCopy(1, 1, 1, kDepth8U, "x", 1); }},
      {"other bytes lent",
       [](std::unique_ptr<PortDataMat>& mat) {
         auto other = std::make_shared<std::string>("y");
         mat->SetSharedData(nullptr, 0, 1, kDepth8U, other->data(), 1, other);
       }},
      {"destroyed", [](std::unique_ptr<PortDataMat>& mat) { mat.reset(); }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto bytes = std::make_shared<std::string>(std::string(24, '\x05'));
    const std::weak_ptr<std::string> watch = bytes;
    auto mat = std::make_unique<PortDataMat>();
    const size_t dims[] = {4, 2};
    mat->SetSharedData(dims, 2, 3, kDepth8U, bytes->data(), bytes->size(), bytes);
    EXPECT_EQ(mat->GetData(), bytes->data());
    EXPECT_TRUE(mat->IsInitialized() && mat->HasCompleteBuffer());
    EXPECT_EQ(mat->GetDim(1), 2u);
    bytes.reset();
    ASSERT_FALSE(watch.expired());  // the matrix keeps its bytes alive
    c.let_go(mat);
    EXPECT_TRUE(watch.expired());
  }

  // No bytes: a reset matrix that keeps no owner, as a copy of no bytes gives.
  auto empty = std::make_shared<std::string>();
  const std::weak_ptr<std::string> watch = empty;
  PortDataMat mat;
  const size_t dims[] = {4, 2};
  char* no_bytes = empty->data();
  mat.SetSharedData(dims, 2, 3, kDepth8U, no_bytes, 0, std::move(empty));
  EXPECT_FALSE(mat.IsInitialized());
  EXPECT_EQ(mat.GetDimsSize(), 0);
  EXPECT_TRUE(watch.expired());
}

// The ranges are scanned once per matrix object and then answered from memory, which holds
// because published data is never written; setting a matrix anew forgets them.
TEST(PortDataMatTest, ChannelRangesAreScannedOnceUntilTheMatrixIsSetAnew) {
  auto mat = Mat<std::uint8_t>(2, 1, 2, kDepth8U, {10, 20, 30, 40});
  const auto first = mat->GetChannelRanges();
  ASSERT_EQ(first->size(), 2u);
  EXPECT_EQ((*first)[0].min, 10);
  EXPECT_EQ((*first)[0].max, 30);
  EXPECT_EQ((*first)[1].min, 20);
  EXPECT_EQ((*first)[1].max, 40);
  // Written in place, which no producer may do: the remembered ranges do not see it.
  mat->GetData()[0] = 1;
  EXPECT_EQ(mat->GetChannelRanges(), first);

  const std::uint8_t values[] = {7, 9};
  mat->SetDataAndCopy(2, 1, 1, kDepth8U, reinterpret_cast<const char*>(values), 2);
  const auto second = mat->GetChannelRanges();
  ASSERT_EQ(second->size(), 1u);
  EXPECT_EQ((*second)[0].min, 7);
  EXPECT_EQ((*second)[0].max, 9);
  mat->ResetData();
  EXPECT_TRUE(mat->GetChannelRanges()->empty());
  // A copy scans for itself.
  PortDataMat copy(*Mat<std::uint8_t>(1, 1, 1, kDepth8U, {3}));
  EXPECT_EQ((*copy.GetChannelRanges())[0].max, 3);
}

}  // namespace
}  // namespace zelph
