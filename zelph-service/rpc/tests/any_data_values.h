// any_data_values.h
//
// Number blocks and matrices as clients send them, over bytes of a known pattern, for the
// tests of the conversions and of the handlers that write and read port data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "message/datatype/datatype.pb.h"

namespace zelph::testing {

// Bytes 1, 8, 15, ... so that a shifted or cut copy shows.
inline std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 1);
  return bytes;
}

// A number block of that element type and block length over `bytes` bytes of Pattern.
inline GAnyData NumbersValue(GElementType type, std::size_t bytes, int block_length = 0) {
  GAnyData value;
  GNumbers* numbers = value.mutable_numbers();
  numbers->set_element_type(type);
  numbers->set_block_length(block_length);
  numbers->set_buffer(Pattern(bytes));
  return value;
}

// A matrix of that depth code, dimensions and channels over `bytes` bytes of Pattern.
inline GAnyData MatValue(int depth, const std::vector<std::int64_t>& dims, int channels,
                         std::size_t bytes) {
  GAnyData value;
  GMat* mat = value.mutable_mat();
  mat->set_depth(static_cast<GImageDataDepth>(depth));
  mat->set_channels(channels);
  for (std::int64_t dim : dims) mat->add_dims(dim);
  mat->set_buffer(Pattern(bytes));
  return value;
}

}  // namespace zelph::testing
