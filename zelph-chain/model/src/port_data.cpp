// port_data.cpp
//
// The port data base, the text description by data type, the casts and ExtractDouble.
#include "zelph/model/port_data.h"

#include "zelph/model/port.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"

namespace {

// The depth's two words of the matrix description; both empty for an unknown depth.
struct DepthWords {
  const char* type;
  const char* bits;
};

DepthWords WordsOf(MatDepth depth) {
  switch (depth) {
    case kDepth8U:
      return {"byte", "(8-bit)"};
    case kDepth8S:
      return {"byte", "(8-bit, signed)"};
    case kDepth16U:
      return {"short", "(16-bit)"};
    case kDepth16S:
      return {"short", "(16-bit, signed)"};
    case kDepth32S:
      return {"int", "(32-bit, signed)"};
    case kDepth32F:
      return {"float", "(32-bit, signed)"};
    case kDepth64F:
      return {"double", "(64-bit, signed)"};
    case kDepth1Bit:
      return {"boolean", "(1-bit)"};
  }
  return {"", ""};
}

void DescribeNumbers(const PortDataNumbers& numbers, std::string& text) {
  const IDataType* element_type = numbers.GetElementDataType();
  text += ' ';
  text += std::to_string(numbers.GetBlockLength());
  text += " x ";
  text += std::to_string(numbers.GetBlockCount());
  text += " (";
  text += element_type ? element_type->GetName() : "";
  text += ") [";
  text += std::to_string(numbers.GetSize());
  text += " bytes]";
}

void DescribeMat(const PortDataMat& mat, std::string& text) {
  const DepthWords words = WordsOf(mat.GetDepth());
  text += ' ';
  text += words.type;
  text += ' ';
  text += std::to_string(mat.GetChannels());
  for (int i = 0; i < mat.GetDimsSize(); ++i) {
    text += 'x';
    text += std::to_string(mat.GetDims()[i]);
  }
  if (mat.GetDimsSize() == 0) text += 'x';
  text += ' ';
  text += words.bits;
  text += " [";
  text += std::to_string(mat.GetSize());
  text += " bytes]";
}

template <typename Result, typename Data>
Result* CastByType(Data* data, bool (*is_type)(const IDataType*)) {
  return data != nullptr && is_type(data->GetDataType()) ? static_cast<Result*>(data) : nullptr;
}

}  // namespace

std::string IPortData::ToString() const {
  const IDataType* type = GetDataType();
  std::string text = type ? type->GetName() : "";
  if (const auto* numbers = CastToNumbers(this)) {
    DescribeNumbers(*numbers, text);
  } else if (const auto* scalar = CastToScalar(this)) {
    text += " [" + std::to_string(scalar->GetSize()) + " bytes]";
  } else if (const auto* mat = CastToMat(this)) {
    DescribeMat(*mat, text);
  }
  return text;
}

void PortData::SetFlag(DataFlag flag, bool on) {
  if (on) {
    flags_ |= flag;
  } else {
    flags_ &= ~static_cast<long long>(flag);
  }
}

double ExtractDouble(const IPortData* data, double fallback) {
  const PortDataScalar* scalar = CastToScalar(data);
  return scalar ? scalar->GetDouble() : fallback;
}

double ExtractDouble(const std::shared_ptr<IPortData>& data, double fallback) {
  return ExtractDouble(data.get(), fallback);
}

double ExtractDouble(zelph::Port* port, double fallback) {
  return port ? ExtractDouble(port->GetData(), fallback) : fallback;
}

PortDataScalar* CastToScalar(IPortData* data) {
  return CastByType<PortDataScalar>(data, &DataTypeScalar::Equals);
}
const PortDataScalar* CastToScalar(const IPortData* data) {
  return CastByType<const PortDataScalar>(data, &DataTypeScalar::Equals);
}
PortDataNumbers* CastToNumbers(IPortData* data) {
  return CastByType<PortDataNumbers>(data, &DataTypeNumbers::Equals);
}
const PortDataNumbers* CastToNumbers(const IPortData* data) {
  return CastByType<const PortDataNumbers>(data, &DataTypeNumbers::Equals);
}
PortDataMat* CastToMat(IPortData* data) {
  return CastByType<PortDataMat>(data, &DataTypeMat::Equals);
}
const PortDataMat* CastToMat(const IPortData* data) {
  return CastByType<const PortDataMat>(data, &DataTypeMat::Equals);
}
