// statistic_detail.cpp
//
// Building the three summaries from port data.
#include "zelph/projects/statistic_detail.h"

#include <algorithm>
#include <cstdint>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"

namespace zelph {
namespace {

// The elements at the sampled positions, each read as `Stored` and widened to double.
template <typename Stored, typename Element>
void SampleAs(const Element* elements, const std::vector<std::size_t>& positions,
              std::vector<double>& numbers) {
  numbers.reserve(positions.size());
  for (const std::size_t index : positions) {
    numbers.push_back(static_cast<double>(static_cast<Stored>(elements[index])));
  }
}

// The first elements of the first blocks, element by element within a block.
std::vector<std::size_t> SamplePositions(std::uint64_t blocks, int block_length) {
  std::vector<std::size_t> positions;
  if (block_length < 1) return positions;
  const auto length = static_cast<std::size_t>(block_length);
  const std::size_t sampled_blocks =
      std::min<std::uint64_t>(blocks, NumbersStatisticDetail::kSampledBlocks);
  const std::size_t sampled_elements = std::min(length, NumbersStatisticDetail::kSampledElements);
  for (std::size_t block = 0; block < sampled_blocks; ++block) {
    for (std::size_t element = 0; element < sampled_elements; ++element) {
      positions.push_back(block * length + element);
    }
  }
  return positions;
}

void SampleNumbers(const PortDataNumbers& data, const std::vector<std::size_t>& positions,
                   std::vector<double>& numbers) {
  const IDataType* type = data.GetElementDataType();
  if (DataTypeDouble::Equals(type)) {
    SampleAs<double>(data.ToDoubleArray(false), positions, numbers);
  } else if (DataTypeFloat::Equals(type)) {
    SampleAs<float>(data.ToFloatArray(false), positions, numbers);
  } else if (DataTypeInt64::Equals(type)) {
    SampleAs<long long>(data.ToInt64Array(false), positions, numbers);
  } else if (DataTypeInt32::Equals(type)) {
    SampleAs<int>(data.ToIntArray(false), positions, numbers);
  } else if (DataTypeShort::Equals(type)) {
    SampleAs<std::uint16_t>(data.ToShortArray(false), positions, numbers);
  } else if (DataTypeByte::Equals(type)) {
    SampleAs<std::uint8_t>(data.ToByteArray(false), positions, numbers);
  } else {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unhandeled NumbersStatisticDetails data type: {}",
              type->GetName());
  }
}

}  // namespace

MatStatisticDetail::MatStatisticDetail(const std::string& id,
                                       const std::shared_ptr<IPortData>& data) {
  const PortDataMat* mat = CastToMat(data.get());
  if (mat == nullptr) return;
  port_id = id;
  initialized = mat->IsInitialized();
  depth = mat->GetDepth();
  dims.assign(mat->GetDims(), mat->GetDims() + std::max(mat->GetDimsSize(), 0));
  matrix = std::shared_ptr<const PortDataMat>(data, mat);
}

std::vector<std::pair<double, double>> MatStatisticDetail::Channels() const {
  std::vector<std::pair<double, double>> channels;
  if (matrix == nullptr) return channels;
  const std::shared_ptr<const std::vector<ChannelRange>> ranges = matrix->GetChannelRanges();
  channels.reserve(ranges->size());
  for (const ChannelRange& range : *ranges) channels.emplace_back(range.max, range.min);
  return channels;
}

NumbersStatisticDetail::NumbersStatisticDetail(const std::string& id,
                                               const std::shared_ptr<IPortData>& data) {
  const PortDataNumbers* block = CastToNumbers(data.get());
  if (block == nullptr) return;
  port_id = id;
  initialized = block->IsInitialized();
  block_length = block->GetBlockLength();
  // Counts whole blocks and gives 0 for a block length below 1: a block length of 0 that a
  // client sent through a worker must not divide by zero here.
  number_of_blocks = block->GetBlockCount();
  element_data_type = block->GetElementDataType();
  // A reset block has neither an element type nor elements to sample.
  if (element_data_type == nullptr) return;
  SampleNumbers(*block, SamplePositions(number_of_blocks, block_length), numbers);
}

ScalarStatisticDetail::ScalarStatisticDetail(const std::string& id,
                                             const std::shared_ptr<IPortData>& data) {
  const PortDataScalar* text = CastToScalar(data.get());
  if (text == nullptr) return;
  port_id = id;
  initialized = text->IsInitialized();
  scalar = CutText(text->GetStr(), kMaxScalarBytes);
}

}  // namespace zelph
