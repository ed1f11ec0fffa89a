// preview_image.cpp
//
// The image preview with OpenCV. The size is reduced before the values are scaled: with
// INTER_LINEAR a reduction reads only a few source pixels per result pixel, so scaling the
// small image instead of the whole frame makes a preview of a 4K frame cost little more
// than the reduction and the encoding themselves. Linear interpolation commutes with the
// linear value scale, so the picture is the same within one grey level, except where
// neighbouring pixels are clipped at 0 or 255 differently. The whole frame is read only for
// the range of auto contrast, to unpack 1-bit values, and to convert the two depths that
// OpenCV cannot resize.
#include "zelph/projects/preview_image.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"

namespace zelph {
namespace {

constexpr int kMaxSide = 256;
constexpr int kJpegQuality = 95;

// Source byte -> the eight result bytes of its bits, least significant bit first.
constexpr std::array<std::array<unsigned char, 8>, 256> kBitBytes = [] {
  std::array<std::array<unsigned char, 8>, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    for (int bit = 0; bit < 8; ++bit) table[byte][bit] = (byte >> bit) & 1 ? 255 : 0;
  }
  return table;
}();

struct ValueScale {
  double scale = 1;
  double offset = 0;
};

ValueScale ScaleOfDepth(MatDepth depth) {
  switch (depth) {
    case kDepth16U:
    case kDepth16S:
      return {255.0 / 32767.0};
    case kDepth32S:
      return {255.0 / 2147483647.0};
    case kDepth32F:
    case kDepth64F:
      return {255.0};
    default:
      return {};
  }
}

// Stretches [min, max] onto 0..255. A range that is empty or not finite has nothing to
// stretch (an infinite scale would turn every value into NaN): the depth's scale stays.
ValueScale StretchScale(double min, double max, ValueScale of_depth) {
  const double range = max - min;
  if (!std::isfinite(range) || range <= 0) return of_depth;
  const double scale = 255.0 / range;
  return {scale, -min * scale};
}

// Why the matrix cannot be read by its dims, or nothing when it can.
std::optional<std::string> LayoutError(const PortDataMat& data) {
  const std::optional<std::size_t> expected = data.ExpectedByteSize();
  if (!expected) return "the matrix size overflows";
  if (data.GetWidth() > static_cast<std::size_t>(INT_MAX) ||
      data.GetHeight() > static_cast<std::size_t>(INT_MAX)) {
    return fmt::format("a side of {} x {} is too long for an image", data.GetWidth(),
                       data.GetHeight());
  }
  if (!data.HasCompleteBuffer()) {
    return fmt::format("the buffer holds {} bytes, its {} x {} x {} layout needs {}",
                       data.GetSize(), data.GetWidth(), data.GetHeight(), data.GetChannels(),
                       *expected);
  }
  return std::nullopt;
}

// One byte per bit of the first rows x cols x channels bits: 255 set, 0 clear.
cv::Mat UnpackBits(const PortDataMat& data, int rows, int cols, int channels) {
  cv::Mat image(rows, cols, CV_MAKETYPE(CV_8U, channels));
  const std::size_t bits = image.total() * static_cast<std::size_t>(channels);
  const auto* source = reinterpret_cast<const unsigned char*>(data.GetData());
  unsigned char* target = image.ptr<unsigned char>();
  const std::size_t whole_bytes = bits / 8;
  for (std::size_t i = 0; i < whole_bytes; ++i) {
    std::memcpy(target + 8 * i, kBitBytes[source[i]].data(), 8);
  }
  for (std::size_t bit = 0; bit < bits % 8; ++bit) {
    target[8 * whole_bytes + bit] = kBitBytes[source[whole_bytes]][bit];
  }
  return image;
}

// The three colour channels of a four-channel image, or the image itself (logged) when
// they cannot be separated.
cv::Mat DropAlpha(const cv::Mat& image) {
  try {
    cv::Mat colour(image.size(), CV_MAKETYPE(image.depth(), 3));
    const int pairs[] = {0, 0, 1, 1, 2, 2};
    cv::mixChannels(&image, 1, &colour, 1, pairs, 3);
    return colour;
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed remove alpha (4) channel: {}", e.what());
    return image;
  }
}

// Halves both sides together while either is above kMaxSide; a side never goes below 1.
cv::Size ReducedSize(cv::Size size) {
  while (size.width > kMaxSide || size.height > kMaxSide) {
    size.width = std::max(size.width / 2, 1);
    size.height = std::max(size.height / 2, 1);
  }
  return size;
}

// OpenCV's linear resize has no kernel for 8-bit signed and 32-bit signed values.
bool CanResizeDepth(int depth) { return depth != CV_8S && depth != CV_32S; }

cv::Mat ToBytes(const cv::Mat& image, ValueScale value_scale) {
  if (image.depth() == CV_8U && value_scale.scale == 1 && value_scale.offset == 0) return image;
  cv::Mat bytes;
  image.convertTo(bytes, CV_8U, value_scale.scale, value_scale.offset);
  return bytes;
}

cv::Mat Resized(const cv::Mat& image, cv::Size size) {
  if (image.size() == size) return image;
  cv::Mat resized;
  cv::resize(image, resized, size, 0, 0, cv::INTER_LINEAR);
  return resized;
}

// The scaled, reduced 8-bit image with the source's channels (alpha possibly dropped).
// `source` wraps the port data's buffer: every step writes a new image.
cv::Mat ScaledPreview(cv::Mat source, MatDepth depth, bool auto_contrast) {
  ValueScale value_scale = ScaleOfDepth(depth);
  if (auto_contrast && depth != kDepth1Bit) {
    // The alpha channel must not widen the range, so it goes before the range is taken.
    if (source.channels() == 4) source = DropAlpha(source);
    double min = 0;
    double max = 0;
    cv::minMaxIdx(source, &min, &max);
    value_scale = StretchScale(min, max, value_scale);
  }
  const cv::Size size = ReducedSize(source.size());
  if (!CanResizeDepth(source.depth())) return Resized(ToBytes(source, value_scale), size);
  return ToBytes(Resized(source, size), value_scale);
}

std::shared_ptr<IPortData> EncodeJpeg(const cv::Mat& image, MatDepth depth) {
  std::vector<unsigned char> jpeg;
  {
    Timer timer("PreparePreviewImage::Encode");
    if (!cv::imencode(".jpg", image, jpeg, {cv::IMWRITE_JPEG_QUALITY, kJpegQuality})) {
      return nullptr;
    }
  }
  auto preview = std::make_shared<PortDataMat>();
  preview->SetDataAndCopy(static_cast<std::size_t>(image.cols),
                          static_cast<std::size_t>(image.rows), 0, depth,
                          reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
  preview->SetEncoded("jpeg");
  return preview;
}

}  // namespace

std::shared_ptr<IPortData> PreparePreviewImage(const PortDataMat& data, bool auto_contrast) {
  const int channels = data.GetChannels();
  if (!data.IsInitialized() || data.GetDimsSize() != 2 || data.GetSize() == 0 ||
      (channels != 1 && channels != 3 && channels != 4) || data.GetWidth() == 0 ||
      data.GetHeight() == 0) {
    return nullptr;
  }
  const MatDepth depth = data.GetDepth();
  if (depth != kDepth1Bit && (depth < kDepth8U || depth > kDepth64F)) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning, "unsupported mat depth to display");
    return nullptr;
  }
  // A client may send dims that its buffer does not cover; reading by the dims would then
  // run past the end of the buffer.
  if (const std::optional<std::string> error = LayoutError(data)) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed PreparePreviewImage, error: {}", *error);
    return nullptr;
  }
  Timer timer("PreparePreviewImage");
  try {
    const int rows = static_cast<int>(data.GetHeight());
    const int cols = static_cast<int>(data.GetWidth());
    cv::Mat source = depth == kDepth1Bit
                         ? UnpackBits(data, rows, cols, channels)
                         : cv::Mat(rows, cols, CV_MAKETYPE(depth, channels), data.GetData());
    cv::Mat preview = ScaledPreview(source, depth, auto_contrast);
    // Only an image that still has its alpha channel loses it here (auto contrast has
    // dropped it already), so no failure is reported for an image that has none.
    if (preview.channels() == 4) preview = DropAlpha(preview);
    return EncodeJpeg(preview, depth);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed PreparePreviewImage, error: {}", e.what());
    return nullptr;
  }
}

}  // namespace zelph
