// port_data_mat.cpp
//
// Matrices: ownership of dims and buffer, checked sizes, and the per-channel scan.
#include "zelph/model/port_data_mat.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <utility>

#include "zelph/logger/log.h"
#include "zelph/platform/large_buffer.h"

namespace {

// From this size on a buffer gets its own huge-page mapping; below it the heap is cheaper
// and wastes less.
constexpr size_t kLargeBufferBytes = size_t{4} << 20;

// Element count × channels × value bytes (1-bit values rounded up to whole bytes), or
// nullopt on overflow, negative counts or an unknown depth.
std::optional<size_t> ByteSizeOf(const size_t* dims, int dimsCount, int channels, MatDepth depth) {
  if (dimsCount < 0 || channels < 0 || (dimsCount > 0 && dims == nullptr)) return std::nullopt;
  if (MatDepthBytes(depth) == 0 && depth != kDepth1Bit) return std::nullopt;
  size_t values = dimsCount > 0 ? 1 : 0;
  for (int i = 0; i < dimsCount; ++i) {
    if (__builtin_mul_overflow(values, dims[i], &values)) return std::nullopt;
  }
  if (__builtin_mul_overflow(values, static_cast<size_t>(channels), &values)) {
    return std::nullopt;
  }
  if (depth == kDepth1Bit) return values / 8 + (values % 8 != 0 ? 1 : 0);
  size_t bytes = 0;
  if (__builtin_mul_overflow(values, MatDepthBytes(depth), &bytes)) return std::nullopt;
  return bytes;
}

void LogAllocationFailure(size_t bytes, const char* error) {
  ZELPH_LOG(ZelphSeverityLevel::kError, "Can't allocate memmory, block size: {}, error: '{}'",
            bytes, error);
}

template <typename T>
void ScanChannel(const char* data, size_t count, size_t first, size_t stride, double& min,
                 double& max) {
  const T* values = reinterpret_cast<const T*>(data);
  T low = values[first];
  T high = low;
  for (size_t i = first + stride; i < count; i += stride) {
    const T value = values[i];
    low = value < low ? value : low;
    high = value > high ? value : high;
  }
  min = static_cast<double>(low);
  max = static_cast<double>(high);
}

}  // namespace

MatDepth MatDepthFromCode(int code) {
  if ((code >= 1 && code <= 6) || code == kDepth1Bit) return static_cast<MatDepth>(code);
  return kDepth8U;
}

void MathDepthRange(MatDepth depth, int& min, int& max) {
  switch (depth) {
    case kDepth8U:
      min = 0, max = 255;
      return;
    case kDepth8S:
      min = -128, max = 127;
      return;
    case kDepth16U:
      min = 0, max = 65535;
      return;
    case kDepth16S:
      min = -32768, max = 32767;
      return;
    case kDepth32F:
    case kDepth64F:
    case kDepth1Bit:
      min = 0, max = 1;
      return;
    case kDepth32S:
      break;
  }
  min = 0, max = 0;
}

size_t MatDepthBytes(MatDepth depth) {
  switch (depth) {
    case kDepth8U:
    case kDepth8S:
      return 1;
    case kDepth16U:
    case kDepth16S:
      return 2;
    case kDepth32S:
    case kDepth32F:
      return 4;
    case kDepth64F:
      return 8;
    case kDepth1Bit:
      break;
  }
  return 0;
}

PortDataMat::PortDataMat() : PortData(DataTypeMat::GetInstance()) {}

PortDataMat::PortDataMat(const PortDataMat& other)
    : PortData(other),
      dims_count_(0),
      size_(other.size_),
      channels_(other.channels_),
      depth_(other.depth_) {
  if (other.dims_count_ > 0) {
    try {
      dims_ = new size_t[static_cast<size_t>(other.dims_count_)];
      std::memcpy(dims_, other.dims_, sizeof(size_t) * static_cast<size_t>(other.dims_count_));
      dims_count_ = other.dims_count_;
    } catch (const std::exception& e) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Failed init dims mat cpy ctor: {}", e.what());
    }
  }
  if (other.size_ > 0 && other.data_ != nullptr) {
    try {
      data_ = AllocateData(other.size_, false);
      std::memcpy(data_.get(), other.data_.get(), other.size_);
    } catch (const std::exception& e) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Failed init data mat cpy ctor: {}", e.what());
      size_ = 0;
    }
  } else {
    size_ = 0;
  }
}

PortDataMat::PortDataMat(const size_t* dims, int dimsCount, MatDepth depth, int channels)
    : PortDataMat() {
  depth_ = depth;
  channels_ = channels;
  // Unknown depths get no buffer; 1-bit values are packed eight to a byte.
  const std::optional<size_t> bytes = MatDepthBytes(depth) == 0 && depth != kDepth1Bit
                                          ? std::optional<size_t>(0)
                                          : ByteSizeOf(dims, dimsCount, channels, depth);
  if (!bytes) {
    LogAllocationFailure(static_cast<size_t>(-1), "the matrix size overflows");
    return;
  }
  if (!CopyDims(dims, dimsCount)) return;
  try {
    if (*bytes > 0) data_ = AllocateData(*bytes, true);
  } catch (const std::exception& e) {
    LogAllocationFailure(*bytes, e.what());
    return;
  }
  size_ = *bytes;
  SetInitialized(true);
}

PortDataMat::~PortDataMat() { delete[] dims_; }

void PortDataMat::DataRelease::operator()(char* data) const {
  if (owner) {
    owner.reset();
  } else if (large_bytes > 0) {
    zelph::sys::FreeLargeBuffer(data, large_bytes);
  } else {
    delete[] data;
  }
}

PortDataMat::Data PortDataMat::AllocateData(size_t size, bool zeroed) {
  if (size < kLargeBufferBytes) return Data(zeroed ? new char[size]() : new char[size]);
  // Fresh mappings are zero-filled already, so `zeroed` costs nothing here.
  char* data = zelph::sys::AllocateLargeBuffer(size);
  if (data == nullptr) throw std::bad_alloc();
  return Data(data, DataRelease(size));
}

size_t PortDataMat::GetDim(int index) const {
  return index >= 0 && index < dims_count_ ? dims_[index] : static_cast<size_t>(-1);
}

char PortDataMat::GetBitsPerElement() const {
  return depth_ == kDepth1Bit ? 1 : static_cast<char>(MatDepthBytes(depth_) * 8);
}

std::optional<size_t> PortDataMat::ExpectedByteSize() const {
  return ByteSizeOf(dims_, dims_count_, channels_, depth_);
}

bool PortDataMat::HasCompleteBuffer() const {
  const std::optional<size_t> expected = ExpectedByteSize();
  return expected && size_ >= *expected && (data_ != nullptr || *expected == 0);
}

void PortDataMat::SetEncoded(const std::string& encoded) {
  if (&encoded != &encoded_) encoded_ = encoded;
}

void PortDataMat::GetChannelMinMax(int channel, double& min, double& max) const {
  if (channel < 0 || channel >= channels_ || size_ == 0 || data_ == nullptr) {
    min = max = -1;
    return;
  }
  if (depth_ == kDepth1Bit) {
    min = 1;
    max = 0;
    for (size_t i = 0; i < size_; ++i) {
      const auto byte = static_cast<unsigned char>(data_[i]);
      if (byte != 0) max = 1;
      if (byte != 0xFF) min = 0;
    }
    return;
  }
  const size_t value_bytes = MatDepthBytes(depth_);
  if (value_bytes == 0) return;  // unknown depth: left as they were
  const size_t count = size_ / value_bytes;
  const auto first = static_cast<size_t>(channel);
  if (count <= first) {
    min = max = -1;
    return;
  }
  const auto stride = static_cast<size_t>(channels_);
  switch (depth_) {
    case kDepth8U:
      return ScanChannel<std::uint8_t>(data_.get(), count, first, stride, min, max);
    case kDepth8S:
      return ScanChannel<std::int8_t>(data_.get(), count, first, stride, min, max);
    case kDepth16U:
      return ScanChannel<std::uint16_t>(data_.get(), count, first, stride, min, max);
    case kDepth16S:
      return ScanChannel<std::int16_t>(data_.get(), count, first, stride, min, max);
    case kDepth32S:
      return ScanChannel<std::int32_t>(data_.get(), count, first, stride, min, max);
    case kDepth32F:
      return ScanChannel<float>(data_.get(), count, first, stride, min, max);
    case kDepth64F:
      return ScanChannel<double>(data_.get(), count, first, stride, min, max);
    case kDepth1Bit:
      return;
  }
}

std::shared_ptr<const std::vector<zelph::ChannelRange>> PortDataMat::GetChannelRanges() const {
  std::lock_guard lock(channel_ranges_mutex_);
  if (!channel_ranges_) {
    channel_ranges_ =
        std::make_shared<const std::vector<zelph::ChannelRange>>(zelph::ScanChannelRanges(*this));
  }
  return channel_ranges_;
}

void PortDataMat::SetAllocatedData(size_t width, size_t height, int channels, MatDepth depth,
                                   char* data, size_t size) {
  ResetData();
  const size_t dims[] = {width, height};
  Data taken(data);  // taken over, so it must not leak when it cannot be kept
  if (!CopyDims(dims, 2)) return;
  data_ = std::move(taken);
  size_ = size;
  channels_ = channels;
  depth_ = depth;
  SetInitialized(true);
}

void PortDataMat::SetDataAndCopy(size_t width, size_t height, int channels, MatDepth depth,
                                 const char* data, size_t size) {
  const size_t dims[] = {width, height};
  SetDataAndCopy(dims, 2, channels, depth, data, size);
}

void PortDataMat::SetDataAndCopy(const size_t* dims, int dimsCount, int channels, MatDepth depth,
                                 const char* data, size_t size) {
  ResetData();
  if (size == 0 || data == nullptr) return;
  if (!CopyDims(dims, dimsCount)) return;
  try {
    data_ = AllocateData(size, false);
  } catch (const std::exception& e) {
    LogAllocationFailure(size, e.what());
    return;
  }
  std::memcpy(data_.get(), data, size);
  size_ = size;
  channels_ = channels;
  depth_ = depth;
  SetInitialized(true);
}

void PortDataMat::SetSharedData(const size_t* dims, int dimsCount, int channels, MatDepth depth,
                                char* data, size_t size, std::shared_ptr<const void> owner) {
  ResetData();
  if (size == 0 || data == nullptr) return;
  Data lent(data, DataRelease(std::move(owner)));  // released even when the dims fail
  if (!CopyDims(dims, dimsCount)) return;
  data_ = std::move(lent);
  size_ = size;
  channels_ = channels;
  depth_ = depth;
  SetInitialized(true);
}

void PortDataMat::ResetData() {
  delete[] dims_;
  dims_ = nullptr;
  data_.reset();
  dims_count_ = 0;
  channels_ = 0;
  depth_ = kDepth8U;
  size_ = 0;
  {
    std::lock_guard lock(channel_ranges_mutex_);
    channel_ranges_.reset();
  }
  SetInitialized(false);
}

std::unique_ptr<PortDataMat> PortDataMat::RemoveChannel(int /*channel*/) {
  throw std::runtime_error("unimplemented");
}

bool PortDataMat::AllocateDims(int count) {
  if (dims_ != nullptr && dims_count_ >= count) return true;
  delete[] dims_;
  dims_ = nullptr;
  dims_count_ = 0;
  try {
    dims_ = new size_t[static_cast<size_t>(count)];
  } catch (const std::exception& e) {
    LogAllocationFailure(static_cast<size_t>(count) * sizeof(size_t), e.what());
    return false;
  }
  dims_count_ = count;
  return true;
}

// A negative or missing dims list counts as no dims.
bool PortDataMat::CopyDims(const size_t* dims, int count) {
  if (count <= 0 || dims == nullptr) return true;
  if (!AllocateDims(count)) return false;
  std::memcpy(dims_, dims, sizeof(size_t) * static_cast<size_t>(count));
  return true;
}
