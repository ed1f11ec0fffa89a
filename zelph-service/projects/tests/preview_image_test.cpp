// preview_image_test.cpp
//
// Image previews decoded back: the reduced size, the channels the JPEG holds and the grey
// or colour values it shows for every depth, with and without auto contrast, without a log
// line; the 1-bit unpacking; the result's layout; matrices that get no preview, with or
// without a log line, among them buffers shorter than their dims (never read past their end).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "capturing_logger.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/projects/preview_image.h"

namespace zelph::testing {
namespace {

// Pixel values of a test frame: `left` in the left half, `right` in the right half, in the
// first three channels; a fourth channel holds 0.
struct Fill {
  double left;
  double right;
};

Fill Flat(double value) { return {value, value}; }

std::shared_ptr<PortDataMat> MakeFrame(int width, int height, MatDepth depth, int channels,
                                       Fill fill) {
  cv::Mat frame(height, width, CV_MAKETYPE(depth, channels));
  frame(cv::Rect(0, 0, width / 2, height)).setTo(cv::Scalar(fill.left, fill.left, fill.left, 0));
  frame(cv::Rect(width / 2, 0, width - width / 2, height))
      .setTo(cv::Scalar(fill.right, fill.right, fill.right, 0));
  auto mat = std::make_shared<PortDataMat>();
  mat->SetDataAndCopy(static_cast<std::size_t>(width), static_cast<std::size_t>(height), channels,
                      depth, reinterpret_cast<const char*>(frame.data),
                      frame.total() * frame.elemSize());
  return mat;
}

// The preview's JPEG decoded with the channels it holds; checks the result's layout first.
cv::Mat DecodePreview(const std::shared_ptr<IPortData>& preview, MatDepth source_depth) {
  const auto* mat = dynamic_cast<const PortDataMat*>(preview.get());
  if (mat == nullptr) {
    ADD_FAILURE() << "no preview";
    return {};
  }
  EXPECT_TRUE(mat->IsInitialized());
  EXPECT_EQ(mat->GetDimsSize(), 2);
  EXPECT_EQ(mat->GetChannels(), 0);
  EXPECT_EQ(mat->GetDepth(), source_depth);
  EXPECT_EQ(mat->GetEncoded(), "jpeg");
  const cv::Mat bytes(1, static_cast<int>(mat->GetSize()), CV_8U, mat->GetData());
  cv::Mat image = cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
  EXPECT_EQ(static_cast<std::size_t>(image.cols), mat->GetWidth());
  EXPECT_EQ(static_cast<std::size_t>(image.rows), mat->GetHeight());
  return image;
}

// The first channel at a relative position (0..1) of the decoded image.
int ValueAt(const cv::Mat& image, double x, double y) {
  const int column = std::min(static_cast<int>(x * image.cols), image.cols - 1);
  const int row = std::min(static_cast<int>(y * image.rows), image.rows - 1);
  return image.ptr<std::uint8_t>(row)[column * image.channels()];
}

TEST(PreparePreviewImageTest, SizeChannelsAndValuesOfEveryDepth) {
  struct Case {
    const char* name;
    int width, height;
    MatDepth depth;
    int channels;
    Fill fill;
    bool auto_contrast;
    int expected_width, expected_height, expected_channels;
    // The grey value the left and the right quarter show.
    int expected_left, expected_right;
  };
  const Case kCases[] = {
      {"two halvings", 1000, 10, kDepth8U, 1, Fill{40, 200}, false, 250, 2, 1, 40, 200},
      {"256 kept", 256, 256, kDepth8U, 3, Fill{40, 200}, false, 256, 256, 3, 40, 200},
      {"a side of 1 stays", 257, 1, kDepth8U, 1, Fill{40, 200}, false, 128, 1, 1, 40, 200},
      {"alpha dropped", 64, 32, kDepth8U, 4, Fill{40, 200}, false, 64, 32, 3, 40, 200},
      {"alpha dropped, halved", 600, 20, kDepth8U, 4, Flat(90), false, 150, 5, 3, 90, 90},
      {"alpha outside the range", 64, 32, kDepth8U, 4, Fill{100, 150}, true, 64, 32, 3, 0, 255},
      {"8-bit signed", 64, 8, kDepth8S, 1, Fill{-100, 100}, false, 64, 8, 1, 0, 100},
      {"8-bit signed halved", 600, 8, kDepth8S, 1, Flat(100), false, 150, 2, 1, 100, 100},
      {"8-bit signed stretched", 64, 8, kDepth8S, 1, Fill{-128, 127}, true, 64, 8, 1, 0, 255},
      {"16-bit by 32767", 64, 8, kDepth16U, 1, Fill{16384, 65535}, false, 64, 8, 1, 128, 255},
      {"16-bit halved", 4000, 8, kDepth16U, 3, Fill{0, 32767}, false, 250, 1, 3, 0, 255},
      {"16-bit stretched", 64, 8, kDepth16U, 1, Fill{1000, 2000}, true, 64, 8, 1, 0, 255},
      {"16-bit signed", 64, 8, kDepth16S, 1, Fill{-5, 32767}, false, 64, 8, 1, 0, 255},
      {"32-bit signed halved", 600, 8, kDepth32S, 1, Flat(2147483647), false, 150, 2, 1, 255, 255},
      {"32-bit float 0..1", 64, 8, kDepth32F, 1, Fill{0.5, 1.0}, false, 64, 8, 1, 128, 255},
      {"32-bit float halved", 3840, 2160, kDepth32F, 3, Fill{0.25, 2.0}, false, 240, 135, 3, 64,
       255},
      {"64-bit float stretched", 64, 8, kDepth64F, 1, Fill{-3.0, 5.0}, true, 64, 8, 1, 0, 255},
      {"flat stays as it is", 32, 32, kDepth8U, 1, Flat(77), true, 32, 32, 1, 77, 77},
      {"flat float stays as it is", 32, 32, kDepth32F, 1, Flat(0.5), true, 32, 32, 1, 128, 128},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CapturingLogger log(ZelphSeverityLevel::kWarning);
    const auto source = MakeFrame(c.width, c.height, c.depth, c.channels, c.fill);
    const cv::Mat image = DecodePreview(PreparePreviewImage(*source, c.auto_contrast), c.depth);
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(image.cols, c.expected_width);
    EXPECT_EQ(image.rows, c.expected_height);
    EXPECT_EQ(image.channels(), c.expected_channels);
    EXPECT_NEAR(ValueAt(image, 0.25, 0.5), c.expected_left, 3);
    EXPECT_NEAR(ValueAt(image, 0.75, 0.5), c.expected_right, 3);
    // No false alarm either, such as a failed alpha removal on an image that has none left.
    EXPECT_EQ(log.Text(), "");
  }
}

TEST(PreparePreviewImageTest, ColourChannelsKeepTheirOrder) {
  // Blue 10, green 128, red 240, alpha 0: the JPEG holds them in the same order.
  for (const int channels : {3, 4}) {
    SCOPED_TRACE(channels);
    cv::Mat frame(32, 32, CV_8UC(channels), cv::Scalar(10, 128, 240, 0));
    PortDataMat source;
    source.SetDataAndCopy(32, 32, channels, kDepth8U, reinterpret_cast<const char*>(frame.data),
                          frame.total() * frame.elemSize());
    const cv::Mat image = DecodePreview(PreparePreviewImage(source, false), kDepth8U);
    ASSERT_EQ(image.channels(), 3);
    const cv::Vec3b pixel = image.at<cv::Vec3b>(16, 16);
    EXPECT_NEAR(pixel[0], 10, 3);
    EXPECT_NEAR(pixel[1], 128, 3);
    EXPECT_NEAR(pixel[2], 240, 3);
  }
}

TEST(PreparePreviewImageTest, OneBitImagesUnpackFromTheLeastSignificantBit) {
  // 3 x 3 pixels take all bits of the first byte and the lowest of the second; the other
  // bits of the second byte are not pixels.
  const char bits[] = {static_cast<char>(0b10110101), static_cast<char>(0b11110001)};
  const int expected[9] = {255, 0, 255, 0, 255, 255, 0, 255, 255};
  PortDataMat source;
  source.SetDataAndCopy(3, 3, 1, kDepth1Bit, bits, sizeof(bits));
  for (const bool auto_contrast : {false, true}) {
    const cv::Mat image = DecodePreview(PreparePreviewImage(source, auto_contrast), kDepth1Bit);
    ASSERT_EQ(image.size(), cv::Size(3, 3));
    ASSERT_EQ(image.channels(), 1);
    for (int i = 0; i < 9; ++i) {
      // JPEG blurs a 3 x 3 pattern a little; set and clear bits stay far apart.
      EXPECT_NEAR(image.at<std::uint8_t>(i / 3, i % 3), expected[i], 60) << "pixel " << i;
    }
  }
}

TEST(PreparePreviewImageTest, MatricesWithoutAPreview) {
  struct Case {
    const char* name;
    std::vector<std::size_t> dims;
    int channels;
    MatDepth depth;
    std::size_t bytes;
    // What the error or warning line says; empty: no line at all.
    std::string log;
  };
  constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max() / 2;
  const Case kCases[] = {
      {"one dimension", {64}, 1, kDepth8U, 64, ""},
      {"three dimensions", {4, 4, 4}, 1, kDepth8U, 64, ""},
      {"two channels", {8, 8}, 2, kDepth8U, 128, ""},
      {"five channels", {8, 8}, 5, kDepth8U, 320, ""},
      {"no width", {0, 8}, 1, kDepth8U, 8, ""},
      {"no height", {8, 0}, 1, kDepth8U, 8, ""},
      {"unknown depth", {8, 8}, 1, static_cast<MatDepth>(7), 64, "[warning] unsupported mat depth"},
      {"short buffer",
       {100, 100},
       3,
       kDepth8U,
       100,
       "[error] Failed PreparePreviewImage, error: the buffer holds 100 bytes, its 100 x 100 x 3 "
       "layout needs 30000"},
      {"short float buffer",
       {16, 16},
       1,
       kDepth32F,
       1020,
       "[error] Failed PreparePreviewImage, error: the buffer holds 1020 bytes"},
      {"short 1-bit buffer",
       {3, 3},
       1,
       kDepth1Bit,
       1,
       "[error] Failed PreparePreviewImage, error: the buffer holds 1 bytes"},
      {"size overflow",
       {kHuge, 4},
       1,
       kDepth8U,
       64,
       "[error] Failed PreparePreviewImage, error: the matrix size overflows"},
      {"side beyond an image",
       {std::size_t{1} << 32, 1},
       1,
       kDepth1Bit,
       64,
       "[error] Failed PreparePreviewImage, error: a side of 4294967296 x 1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CapturingLogger log(ZelphSeverityLevel::kDebug);
    // The buffer is exactly `bytes` long, so a read by the dims would leave it.
    const std::vector<char> bytes(c.bytes, 1);
    PortDataMat source;
    source.SetDataAndCopy(c.dims.data(), static_cast<int>(c.dims.size()), c.channels, c.depth,
                          bytes.data(), bytes.size());
    EXPECT_EQ(PreparePreviewImage(source, false), nullptr);
    if (c.log.empty()) {
      EXPECT_EQ(log.Text(), "");
    } else {
      EXPECT_NE(log.Text().find(c.log), std::string::npos) << log.Text();
    }
  }
}

TEST(PreparePreviewImageTest, UninitialisedOrEmptyMatricesGiveNothing) {
  CapturingLogger log(ZelphSeverityLevel::kDebug);
  EXPECT_EQ(PreparePreviewImage(PortDataMat(), false), nullptr);
  auto source = MakeFrame(8, 8, kDepth8U, 1, Flat(1));
  source->SetInitialized(false);
  EXPECT_EQ(PreparePreviewImage(*source, false), nullptr);
  EXPECT_EQ(log.Text(), "");
}

TEST(PreparePreviewImageTest, TheSourceIsNotWritten) {
  const auto source = MakeFrame(600, 300, kDepth8U, 4, Fill{3, 250});
  const std::vector<char> before(source->GetData(), source->GetData() + source->GetSize());
  ASSERT_NE(PreparePreviewImage(*source, true), nullptr);
  EXPECT_EQ(std::vector<char>(source->GetData(), source->GetData() + source->GetSize()), before);
}

}  // namespace
}  // namespace zelph::testing
