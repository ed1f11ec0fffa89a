// port_data_mat.h
//
// Matrix port data: n-dimensional images and tensors with one raw buffer, plus an optional
// encoded form (a JPEG preview) that the class never interprets. Layout: elements one
// after another, the channel values of an element adjacent; a 2-D matrix is dims[1] rows
// of dims[0] elements, so channel c of (x, y) is at (y * width + x) * channels + c.
// Depths 0 to 6 are OpenCV's CV_8U..CV_64F, so a 2-D matrix maps straight onto cv::Mat.
//
// The setters are lenient: they take the size given without checking it against the dims
// (a preview stores JPEG bytes with channel count 0). Code that walks the buffer by its
// dims must first check HasCompleteBuffer() (or GetSize() >= *ExpectedByteSize()).
//
// Buffers the class allocates itself from 4 MB up are huge-page backed mappings, so that
// copying a large image is not dominated by the kernel zeroing 4 KB pages one fault at a
// time; GetData() is the same plain byte pointer either way. A matrix may also be lent its
// bytes by another owner (SetSharedData), as SetData lends it the bytes of its request.
//
// Once published, a matrix is read by many threads and never written: the channel ranges
// it was asked for once (GetChannelRanges) stay true for as long as it lives.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/model/channel_ranges.h"
#include "zelph/model/port_data.h"

// The type of one channel value.
enum MatDepth : int {
  kDepth8U = 0,
  kDepth8S = 1,
  kDepth16U = 2,
  kDepth16S = 3,
  kDepth32S = 4,
  kDepth32F = 5,
  kDepth64F = 6,
  kDepth1Bit = 101,  // eight values to a byte
};

// 1..6 and 101 give that depth; every other code gives kDepth8U.
ZELPH_CHAIN_API MatDepth MatDepthFromCode(int code);
// The value range a depth is shown with: 0..255, -128..127, 0..65535, -32768..32767,
// 0..0 for 32S, 0..1 for 32F, 64F and 1-bit, 0..0 for unknown depths.
ZELPH_CHAIN_API void MathDepthRange(MatDepth depth, int& min, int& max);
// Bytes of one channel value: 1, 1, 2, 2, 4, 4, 8 for depths 0..6; 0 otherwise (1-bit
// included, which packs values).
ZELPH_CHAIN_API size_t MatDepthBytes(MatDepth depth);

class ZELPH_CHAIN_API PortDataMat : public PortData {
 public:
  // No dims, no data, channels 0, depth 0, uninitialised.
  PortDataMat();
  // Deep copy of dims and bytes; the encoded text is not copied.
  PortDataMat(const PortDataMat& other);
  // Zero-filled matrix of the given shape, initialised. A shape whose byte size overflows
  // (or negative counts) is logged as an allocation failure and gives no data.
  PortDataMat(const size_t* dims, int dimsCount, MatDepth depth, int channels);
  // Matrices are copied with the copy constructor only.
  PortDataMat& operator=(const PortDataMat&) = delete;
  ~PortDataMat() override;

  int GetDimsSize() const { return dims_count_; }
  const size_t* GetDims() const { return dims_; }
  // dims[index], or (size_t)-1 outside 0..dims count - 1.
  size_t GetDim(int index) const;
  size_t GetWidth() const { return GetDim(0); }
  size_t GetHeight() const { return GetDim(1); }
  char* GetData() const { return data_.get(); }
  size_t GetSize() const { return size_; }
  int GetChannels() const { return channels_; }
  MatDepth GetDepth() const { return depth_; }
  char GetBitsPerElement() const;

  // Bytes the dims, channels and depth call for (1-bit values rounded up to whole bytes);
  // nullopt when the product overflows, a count is negative or the depth is unknown.
  std::optional<size_t> ExpectedByteSize() const;
  // True when the buffer holds at least ExpectedByteSize() bytes, so it may be walked by
  // its dims.
  bool HasCompleteBuffer() const;

  std::string GetEncoded() const { return encoded_; }
  void SetEncoded(const std::string& encoded);

  // Smallest and largest value of one channel, read only within GetSize(); -1 and -1 for
  // a channel out of range or no data. 1-bit data ignores the channel and scans all bits.
  void GetChannelMinMax(int channel, double& min, double& max) const;

  // The value range of every channel (ScanChannelRanges), scanned on the first call and then
  // remembered until the matrix is reset or set anew. Any thread: concurrent first callers
  // wait for one scan. Answers for the bytes as they were at the first call, which is why
  // published data must never be changed in place.
  std::shared_ptr<const std::vector<zelph::ChannelRange>> GetChannelRanges() const;

  // The setters reset the matrix first (the encoded text stays).
  // Takes over `data` (allocated with new[]) as a width x height matrix.
  void SetAllocatedData(size_t width, size_t height, int channels, MatDepth depth, char* data,
                        size_t size);
  // Copies the bytes; a size of 0 leaves the matrix reset.
  void SetDataAndCopy(size_t width, size_t height, int channels, MatDepth depth, const char* data,
                      size_t size);
  void SetDataAndCopy(const size_t* dims, int dimsCount, int channels, MatDepth depth,
                      const char* data, size_t size);
  // Uses the `size` bytes at `data` in place: `owner` keeps them alive and is released with
  // the buffer (reset, new data, destruction). Nothing else may change the bytes while the
  // matrix uses them. No bytes (size 0 or null) leave the matrix reset, as SetDataAndCopy.
  void SetSharedData(const size_t* dims, int dimsCount, int channels, MatDepth depth, char* data,
                     size_t size, std::shared_ptr<const void> owner);

  // Frees dims and buffer; counts 0, uninitialised; the encoded text stays.
  void ResetData() override;

  // Not implemented: throws std::runtime_error("unimplemented").
  std::unique_ptr<PortDataMat> RemoveChannel(int channel);

  // Shared uninitialised object, built at library load and never changed.
  static std::shared_ptr<PortDataMat> empty;

 private:
  // Releases the element buffer the way it was obtained: delete[] for buffers handed over
  // through SetAllocatedData and for small ones, the large-buffer release for large ones,
  // and for lent bytes the reference to their owner (dropped at once, not when the deleter
  // is next replaced, so that a reset matrix holds nothing).
  struct DataRelease {
    DataRelease() : large_bytes(0) {}
    explicit DataRelease(size_t largeBytes) : large_bytes(largeBytes) {}
    explicit DataRelease(std::shared_ptr<const void> lender)
        : large_bytes(0), owner(std::move(lender)) {}
    void operator()(char* data) const;
    size_t large_bytes;                         // 0: the buffer came from new[] or is lent
    mutable std::shared_ptr<const void> owner;  // set: the buffer is lent
  };
  using Data = std::unique_ptr<char[], DataRelease>;

  // `size` (> 0) bytes, zero-filled when `zeroed`; throws std::bad_alloc.
  static Data AllocateData(size_t size, bool zeroed);
  bool AllocateDims(int count);
  bool CopyDims(const size_t* dims, int count);

  size_t* dims_ = nullptr;
  int dims_count_ = 0;
  Data data_;
  size_t size_ = 0;
  int channels_ = 0;
  MatDepth depth_ = kDepth8U;
  std::string encoded_;
  // The remembered channel ranges; null until first asked after the last reset.
  mutable std::mutex channel_ranges_mutex_;
  mutable std::shared_ptr<const std::vector<zelph::ChannelRange>> channel_ranges_;
};
