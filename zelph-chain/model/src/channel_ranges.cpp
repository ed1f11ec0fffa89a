// channel_ranges.cpp
//
// One-pass channel ranges. The buffer is read in blocks of a width that is a multiple of
// the channel count, each block compared element-wise with a row of running minima and
// maxima; the compiler turns that inner loop into vector instructions. Every slot of the
// row starts from its channel's first value, so a NaN there stays in every slot (as it stays
// in GetChannelMinMax's scan), and a later NaN never enters one: the comparisons below are
// the scan's own, which keep the running value when either side is NaN.
#include "zelph/model/channel_ranges.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "zelph/model/port_data_mat.h"

namespace zelph {
namespace {

// Bytes of one block of the fixed-width scan: a few vector registers' worth.
constexpr std::size_t kBlockBytes = 64;

template <typename T>
void Keep(T value, T& low, T& high) {
  low = value < low ? value : low;
  high = value > high ? value : high;
}

// Channel c of the first `count` values, for the channels that have a value.
template <typename T>
void Fold(const T* low, const T* high, std::size_t width, std::size_t channels, std::size_t count,
          std::vector<ChannelRange>& ranges) {
  const std::size_t present = std::min(channels, count);
  for (std::size_t c = 0; c < present; ++c) {
    T min = low[c];
    T max = high[c];
    for (std::size_t slot = c + channels; slot < width; slot += channels) {
      Keep(low[slot], min, max);
      Keep(high[slot], min, max);
    }
    ranges[c] = {static_cast<double>(min), static_cast<double>(max)};
  }
}

// Channel counts known at compile time: the block row lives in registers or on the stack
// and its width is a constant, which is what lets the compiler vectorise the inner loop.
template <typename T, std::size_t kChannels>
void ScanFixed(const T* values, std::size_t count, std::vector<ChannelRange>& ranges) {
  constexpr std::size_t kWidth = kChannels * std::max<std::size_t>(1, kBlockBytes / sizeof(T));
  std::array<T, kWidth> low{};
  std::array<T, kWidth> high{};
  for (std::size_t slot = 0; slot < kWidth; ++slot) {
    const std::size_t channel = slot % kChannels;
    if (channel < count) low[slot] = high[slot] = values[channel];
  }
  std::size_t start = 0;
  for (; start + kWidth <= count; start += kWidth) {
    const T* block = values + start;
    for (std::size_t slot = 0; slot < kWidth; ++slot) Keep(block[slot], low[slot], high[slot]);
  }
  for (std::size_t slot = 0; start + slot < count; ++slot) {
    Keep(values[start + slot], low[slot], high[slot]);
  }
  Fold(low.data(), high.data(), kWidth, kChannels, count, ranges);
}

// Any other channel count: one running pair per channel, walked element by element.
template <typename T>
void ScanAnyChannels(const T* values, std::size_t count, std::size_t channels,
                     std::vector<ChannelRange>& ranges) {
  const std::size_t present = std::min(channels, count);
  std::vector<T> low(values, values + present);
  std::vector<T> high(values, values + present);
  std::size_t channel = 0;
  for (std::size_t i = 0; i < count; ++i) {
    Keep(values[i], low[channel], high[channel]);
    if (++channel == channels) channel = 0;
  }
  Fold(low.data(), high.data(), present, channels, count, ranges);
}

template <typename T>
void ScanValues(const char* data, std::size_t size, std::size_t channels,
                std::vector<ChannelRange>& ranges) {
  const T* values = reinterpret_cast<const T*>(data);
  const std::size_t count = size / sizeof(T);
  switch (channels) {
    case 1:
      return ScanFixed<T, 1>(values, count, ranges);
    case 2:
      return ScanFixed<T, 2>(values, count, ranges);
    case 3:
      return ScanFixed<T, 3>(values, count, ranges);
    case 4:
      return ScanFixed<T, 4>(values, count, ranges);
    default:
      return ScanAnyChannels(values, count, channels, ranges);
  }
}

// One-bit data packs eight values to a byte with no channel layout: every channel gets the
// range of all bits.
void ScanBits(const char* data, std::size_t size, std::vector<ChannelRange>& ranges) {
  ChannelRange bits{1, 0};
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    if (byte != 0) bits.max = 1;
    if (byte != 0xFF) bits.min = 0;
  }
  std::fill(ranges.begin(), ranges.end(), bits);
}

}  // namespace

std::vector<ChannelRange> ScanChannelRanges(const PortDataMat& mat) {
  const int channels = mat.GetChannels();
  if (channels < 1) return {};
  std::vector<ChannelRange> ranges(static_cast<std::size_t>(channels), ChannelRange{-1, -1});
  const char* data = mat.GetData();
  const std::size_t size = mat.GetSize();
  if (data == nullptr || size == 0) return ranges;
  const auto count = static_cast<std::size_t>(channels);
  switch (mat.GetDepth()) {
    case kDepth8U:
      ScanValues<std::uint8_t>(data, size, count, ranges);
      break;
    case kDepth8S:
      ScanValues<std::int8_t>(data, size, count, ranges);
      break;
    case kDepth16U:
      ScanValues<std::uint16_t>(data, size, count, ranges);
      break;
    case kDepth16S:
      ScanValues<std::int16_t>(data, size, count, ranges);
      break;
    case kDepth32S:
      ScanValues<std::int32_t>(data, size, count, ranges);
      break;
    case kDepth32F:
      ScanValues<float>(data, size, count, ranges);
      break;
    case kDepth64F:
      ScanValues<double>(data, size, count, ranges);
      break;
    case kDepth1Bit:
      ScanBits(data, size, ranges);
      break;
  }
  return ranges;
}

}  // namespace zelph
