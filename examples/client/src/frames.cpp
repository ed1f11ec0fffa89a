// frames.cpp
//
// Generated frames and image files as matrix messages.
#include "zelph/client/frames.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <stdexcept>

namespace zelph::client {
namespace {

GMat Message(int width, int height, int channels, std::string bytes) {
  GMat message;
  message.set_depth(kDepth8U);
  message.set_channels(channels);
  message.add_dims(width);
  message.add_dims(height);
  message.set_buffer(std::move(bytes));
  return message;
}

}  // namespace

std::uint8_t TestFrameValue(int x, int y, int channel) {
  // Diagonal ramps, one per channel, so that every value occurs and neighbours differ.
  return static_cast<std::uint8_t>(x + 2 * y + 85 * channel);
}

GMat TestFrame(int width, int height, int channels) {
  if (width < 1 || height < 1 || channels < 1 || channels > 4) {
    throw std::invalid_argument("A test frame needs sides of at least 1 and 1 to 4 channels");
  }
  std::string bytes(static_cast<size_t>(width) * height * channels, '\0');
  char* out = bytes.data();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) *out++ = static_cast<char>(TestFrameValue(x, y, c));
    }
  }
  return Message(width, height, channels, std::move(bytes));
}

GMat ReadImage(const std::string& path) {
  // Any colour depth of the file is brought to 8 bits; grey stays one channel.
  const cv::Mat image = cv::imread(path, cv::IMREAD_ANYCOLOR);
  if (image.empty()) throw std::runtime_error("Cannot read an image from " + path);
  const cv::Mat packed = image.isContinuous() ? image : image.clone();
  return Message(
      packed.cols, packed.rows, packed.channels(),
      std::string(reinterpret_cast<const char*>(packed.data), packed.total() * packed.elemSize()));
}

}  // namespace zelph::client
