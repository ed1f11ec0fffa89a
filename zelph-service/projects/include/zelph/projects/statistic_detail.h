// statistic_detail.h
//
// Summaries of the port data a worker put out in its latest execution, one per port, kept in
// the worker's statistic (statistic.h) and written into its JSON document: the shape and the
// per-channel value range of a matrix, the block layout and the first numbers of a number
// block, the (shortened) text of a scalar. A summary is small whatever the data holds.
//
// Summaries are built once, on the thread that finished the worker (or that made its
// preview), and never changed afterwards. Only a matrix summary holds its data: the channel
// ranges are read from the matrix when a document is rendered, so that a run whose
// statistics nobody reads scans nothing, and the matrix remembers them for later readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zelph/model/data_type.h"
#include "zelph/model/port_data.h"
#include "zelph/model/port_data_mat.h"

namespace zelph {

struct StatisticDetail {
  virtual ~StatisticDetail() = default;

  // The port the summary describes; for a preview's summary, the worker id.
  std::string port_id;
};

// Each summary is built from data of its own kind; data of any other kind (or none) gives
// a summary whose fields, port id included, all stay empty.

struct MatStatisticDetail : StatisticDetail {
  // Reads the shape and keeps the matrix; its buffer is not read here.
  MatStatisticDetail(const std::string& port_id, const std::shared_ptr<IPortData>& data);

  // Per channel: the largest, then the smallest value (-1 and -1 for a channel without
  // data); none without a matrix. Scans the matrix on the first call for that matrix object
  // (PortDataMat::GetChannelRanges), from any thread.
  std::vector<std::pair<double, double>> Channels() const;

  bool initialized = false;
  int depth = 0;  // a MatDepth value
  std::vector<std::size_t> dims;
  // The matrix described; null for data of another kind.
  std::shared_ptr<const PortDataMat> matrix;
};

struct NumbersStatisticDetail : StatisticDetail {
  NumbersStatisticDetail(const std::string& port_id, const std::shared_ptr<IPortData>& data);

  // At most this many blocks, and of each at most this many elements, are sampled.
  static constexpr std::size_t kSampledBlocks = 5;
  static constexpr std::size_t kSampledElements = 5;

  bool initialized = false;
  int block_length = 0;
  // Whole blocks; 0 when the block length is below 1.
  std::uint64_t number_of_blocks = 0;
  // A process-wide type, not owned; null for data without an element type.
  const IDataType* element_data_type = nullptr;
  // The first elements of the first blocks, block after block. Bytes and shorts are read
  // unsigned. Empty for an element type the summary does not read (logged).
  std::vector<double> numbers;
};

struct ScalarStatisticDetail : StatisticDetail {
  ScalarStatisticDetail(const std::string& port_id, const std::shared_ptr<IPortData>& data);

  // Longer texts are cut to this many bytes, "..." included, at a character boundary.
  static constexpr std::size_t kMaxScalarBytes = 256;

  bool initialized = false;
  std::string scalar;
};

}  // namespace zelph
