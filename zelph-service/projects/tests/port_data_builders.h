// port_data_builders.h
//
// Port data for the statistic tests, made from plain values.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"

namespace zelph::testing {

template <typename T>
std::vector<char> Bytes(const std::vector<T>& values) {
  std::vector<char> bytes(values.size() * sizeof(T));
  if (!bytes.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

// A width x 1 matrix holding `bytes`, whatever the shape calls for.
inline std::shared_ptr<PortDataMat> MakeMat(MatDepth depth, int channels,
                                            const std::vector<char>& bytes, std::size_t width = 1) {
  auto mat = std::make_shared<PortDataMat>();
  const std::size_t dims[] = {width, 1};
  mat->SetDataAndCopy(dims, 2, channels, depth, bytes.data(), bytes.size());
  return mat;
}

inline std::shared_ptr<PortDataNumbers> MakeNumbers(IDataType* type, const std::vector<char>& bytes,
                                                    int block_length) {
  auto numbers = std::make_shared<PortDataNumbers>();
  numbers->SetDataAndCopy(bytes.data(), bytes.size(), type);
  numbers->SetBlockLength(block_length);
  return numbers;
}

}  // namespace zelph::testing
