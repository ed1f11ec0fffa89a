// port_data_numbers.h
//
// Number-block port data: a flat array of numbers of one element type (byte, short, int,
// long, float or double, in machine byte order), read as consecutive blocks of
// `block length` elements (points of three coordinates: block length 3). The object owns
// its buffer, or is lent one whose owner it keeps alive (SetSharedData); the typed accessors
// hand out that buffer itself, not a copy.
//
// A reset object has element size 0 and no element type; a block length below 1 counts
// as no blocks. Both give empty lengths, previews and block counts rather than dividing
// by zero.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/model/port_data.h"

class ZELPH_CHAIN_API PortDataNumbers : public PortData {
 public:
  // No data, byte elements, block length 1, uninitialised.
  PortDataNumbers();
  // A copy of `source` with every element converted to `elementType` (as by a C++ cast,
  // floating values truncated through a 32-bit integer for byte/short/int targets). An
  // unsupported type gives a default object. Flags are copied from the source; when the
  // buffer cannot be allocated the result holds no data and flags 0.
  PortDataNumbers(const PortDataNumbers* source, IDataType* elementType);
  // Number blocks are copied with ConvertTo(GetElementDataType()), never implicitly.
  PortDataNumbers(const PortDataNumbers&) = delete;
  PortDataNumbers& operator=(const PortDataNumbers&) = delete;
  ~PortDataNumbers() override;

  std::unique_ptr<PortDataNumbers> ConvertTo(IDataType* elementType) const;

  // Takes over `data` (allocated with new[]). Resets first; throws zelph::Exception
  // "Unsupported element data type for number vector container" or "Invalid buffer size,
  // it should be devide by element size"; after a throw the buffer still belongs to the
  // caller. The block length is kept.
  void SetData(char* data, size_t size, IDataType* elementType);
  // Copies `size` bytes, then as SetData (its exceptions pass through; the copy is not
  // leaked). A failed allocation is logged and leaves the object reset.
  void SetDataAndCopy(const char* data, size_t size, IDataType* elementType);
  // Uses the `size` bytes at `data` in place, with the checks and exceptions of SetData:
  // `owner` keeps them alive and is released with the buffer (reset, new data, destruction);
  // after a throw it is not kept. Nothing else may change the bytes while the block uses them.
  void SetSharedData(char* data, size_t size, IDataType* elementType,
                     std::shared_ptr<const void> owner);

  // Stored as given; values below 1 mean "no blocks".
  void SetBlockLength(int length) { block_length_ = length; }
  int GetBlockLength() const { return block_length_; }

  size_t GetSize() const { return size_; }
  // Element count; 0 when the element size is 0 (a reset object).
  size_t GetLength() const;
  // Number of whole blocks; 0 when the block length is below 1.
  size_t GetBlockCount() const;
  IDataType* GetElementDataType() const { return element_type_; }
  int GetElementSizeBytes() const { return element_size_; }
  // 1, 2, 4, 4, 8, 8 for byte, short, int, float, long, double; otherwise logs and gives 0.
  int GetElementSizeBytes(IDataType* type) const;

  // The buffer itself as the named element type; null without data, or when `check` is
  // set and the element type differs.
  char* ToByteArray(bool check) const;
  short* ToShortArray(bool check) const;
  int* ToIntArray(bool check) const;
  long long* ToInt64Array(bool check) const;
  float* ToFloatArray(bool check) const;
  double* ToDoubleArray(bool check) const;

  // ToString(), a line feed, then up to `max` elements as rows of one block each (every
  // value followed by ", ", every row by a line feed; a partial block is left out), then
  // "..." when elements were left out. Bytes and shorts print unsigned.
  std::string Preview(size_t max) const;

  // Frees the buffer; size 0, element size 0, no element type, uninitialised.
  void ResetData() override;

  // Shared uninitialised object, built at library load and never changed.
  static std::shared_ptr<PortDataNumbers> empty;

  static bool IsSupportedElementDataType(const IDataType* type);

 private:
  // Checks as SetData and uses `data` as the buffer; the caller settles who frees it.
  void UseBuffer(char* data, size_t size, IDataType* elementType);

  char* data_ = nullptr;
  std::shared_ptr<const void> owner_;  // set: data_ is lent, not ours to delete
  size_t size_ = 0;
  int element_size_ = 1;
  IDataType* element_type_;
  int block_length_ = 1;
};
