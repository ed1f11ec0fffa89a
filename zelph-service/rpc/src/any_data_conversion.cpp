// any_data_conversion.cpp
//
// GAnyData values into port data and properties, and port data back into GAnyData values.
#include "zelph/rpc/any_data_conversion.h"

#include <fmt/format.h>

#include <exception>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/property.h"

namespace {

constexpr std::string_view kSystemPropertyPrefix = "$__system.";

using zelph::GAnyData;
using zelph::GElementType;
using zelph::GImageDataDepth;
using zelph::GMat;
using zelph::GNumbers;

// The element type of an API code, or null for kUnknown and codes outside the enumeration.
IDataType* ElementTypeOf(int code) {
  switch (code) {
    case zelph::kByte:
      return DataTypeByte::GetInstance();
    case zelph::kShort:
      return DataTypeShort::GetInstance();
    case zelph::kInt32:
      return DataTypeInt32::GetInstance();
    case zelph::kInt64:
      return DataTypeInt64::GetInstance();
    case zelph::kFloat:
      return DataTypeFloat::GetInstance();
    case zelph::kDouble:
      return DataTypeDouble::GetInstance();
    default:
      return nullptr;
  }
}

GElementType ElementCodeOf(const IDataType* type) {
  if (type != nullptr) {
    if (DataTypeByte::Equals(type)) return zelph::kByte;
    if (DataTypeShort::Equals(type)) return zelph::kShort;
    if (DataTypeInt32::Equals(type)) return zelph::kInt32;
    if (DataTypeInt64::Equals(type)) return zelph::kInt64;
    if (DataTypeFloat::Equals(type)) return zelph::kFloat;
    if (DataTypeDouble::Equals(type)) return zelph::kDouble;
  }
  ZELPH_LOG(ZelphSeverityLevel::kError, "Unknown data type");
  return zelph::kUnknown;
}

GImageDataDepth DepthCodeOf(MatDepth depth) {
  switch (depth) {
    case ::kDepth8U:
    case ::kDepth8S:
    case ::kDepth16U:
    case ::kDepth16S:
    case ::kDepth32S:
    case ::kDepth32F:
    case ::kDepth64F:
      return static_cast<GImageDataDepth>(depth);
    case ::kDepth1Bit:
      return zelph::kDepthBit;
  }
  ZELPH_LOG(ZelphSeverityLevel::kError, "Unknown depth");
  return zelph::kDepthUnknown;
}

grpc::Status InvalidMat(const std::string& reason) {
  return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "Invalid mat: " + reason);
}

// The bytes of a message's field, moved into a holder that the port data keeps, so that they
// outlive the message without being copied.
std::shared_ptr<std::string> TakeBytes(std::string& field) {
  return std::make_shared<std::string>(std::move(field));
}

std::shared_ptr<IPortData> NumbersFrom(GNumbers& numbers) {
  IDataType* element_type = ElementTypeOf(numbers.element_type());
  if (element_type == nullptr) ZELPH_LOG(ZelphSeverityLevel::kError, "Unknown data type");
  auto data = std::make_shared<PortDataNumbers>();
  const std::shared_ptr<std::string> bytes = TakeBytes(*numbers.mutable_buffer());
  try {
    // Throws for a missing element type or a partial element.
    data->SetSharedData(bytes->data(), bytes->size(), element_type, bytes);
  } catch (...) {
    *numbers.mutable_buffer() = std::move(*bytes);  // a refused value keeps its bytes
    throw;
  }
  if (numbers.block_length() > 0) data->SetBlockLength(numbers.block_length());
  return data;
}

// Matrices reach previews, workers and the Java bridge, which walk the buffer by its dims,
// so a buffer shorter than its layout must never be stored. The new matrix is checked by the
// same rule its readers apply (HasCompleteBuffer); a refused one gives its bytes back.
grpc::Status MatFrom(GMat& mat, std::shared_ptr<IPortData>& data) {
  if (mat.channels() < 0) return InvalidMat("negative channel count");
  std::vector<size_t> dims;
  dims.reserve(static_cast<size_t>(mat.dims_size()));
  for (const std::int64_t dim : mat.dims()) {
    if (dim < 0) return InvalidMat("negative dimension");
    dims.push_back(static_cast<size_t>(dim));
  }
  auto matrix = std::make_shared<PortDataMat>();
  const std::shared_ptr<std::string> bytes = TakeBytes(*mat.mutable_buffer());
  matrix->SetSharedData(dims.data(), mat.dims_size(), mat.channels(), MatDepthFromCode(mat.depth()),
                        bytes->data(), bytes->size(), bytes);
  if (!matrix->HasCompleteBuffer()) {
    const std::optional<size_t> layout = matrix->ExpectedByteSize();
    grpc::Status refusal =
        InvalidMat(layout ? fmt::format("buffer size {} is smaller than the layout size {}",
                                        bytes->size(), *layout)
                          : std::string("the layout size overflows"));
    *mat.mutable_buffer() = std::move(*bytes);
    return refusal;
  }
  data = std::move(matrix);
  return grpc::Status::OK;
}

grpc::Status ConvertValue(GAnyData& value, std::shared_ptr<IPortData>& data) {
  switch (value.value_case()) {
    case GAnyData::kBoolVal:
      data = std::make_shared<PortDataScalar>(value.bool_val());
      return grpc::Status::OK;
    case GAnyData::kInt32Val:
      data = std::make_shared<PortDataScalar>(value.int32_val());
      return grpc::Status::OK;
    case GAnyData::kDoubleVal:
      data = std::make_shared<PortDataScalar>(value.double_val());
      return grpc::Status::OK;
    case GAnyData::kStringVal:
      data = std::make_shared<PortDataScalar>(value.string_val());
      return grpc::Status::OK;
    case GAnyData::kInt64Val:
      data = std::make_shared<PortDataScalar>(static_cast<long long>(value.int64_val()));
      return grpc::Status::OK;
    case GAnyData::kBuffer:
      data = std::make_shared<PortDataScalar>(value.buffer());
      return grpc::Status::OK;
    case GAnyData::kNumbers:
      data = NumbersFrom(*value.mutable_numbers());
      return grpc::Status::OK;
    case GAnyData::kMat:
      return MatFrom(*value.mutable_mat(), data);
    default:
      return grpc::Status(grpc::StatusCode::INTERNAL, "Unsupported data value case");
  }
}

// Byte fields are given a string to take over: the generated setter that takes a pointer and
// a size copies the bytes twice (into a temporary string, then into the field).
void SetNumbers(const PortDataNumbers& numbers, GNumbers& message) {
  message.set_block_length(numbers.GetBlockLength());
  message.set_element_type(ElementCodeOf(numbers.GetElementDataType()));
  if (const char* bytes = numbers.ToByteArray(false)) {
    message.set_buffer(std::string(bytes, numbers.GetSize()));
  }
}

void SetMat(const PortDataMat& matrix, GMat& message) {
  message.set_encoded(matrix.GetEncoded());
  message.set_depth(DepthCodeOf(matrix.GetDepth()));
  message.set_channels(matrix.GetChannels());
  message.mutable_dims()->Reserve(matrix.GetDimsSize());
  for (int i = 0; i < matrix.GetDimsSize(); ++i) {
    message.add_dims(static_cast<std::int64_t>(matrix.GetDim(i)));
  }
  if (const char* bytes = matrix.GetData()) {
    message.set_buffer(std::string(bytes, matrix.GetSize()));
  }
}

// Scalar and text port data are PortDataScalar by construction; a plug-in's object that
// claims those types without being one is reported rather than misread.
const PortDataScalar* AsScalar(const IPortData& data) {
  const auto* scalar = dynamic_cast<const PortDataScalar*>(&data);
  if (scalar == nullptr) ZELPH_LOG(ZelphSeverityLevel::kError, "Hmm....");
  return scalar;
}

// A value as a log line shows it: client text shortened, numbers and bools as they are.
std::string Shown(const PropertyVariant& value) {
  return std::visit(
      [](const auto& alternative) {
        if constexpr (std::is_same_v<std::decay_t<decltype(alternative)>, std::string>) {
          return zelph::QuoteClientText(alternative);
        } else {
          return fmt::format("{}", alternative);
        }
      },
      value);
}

}  // namespace

grpc::Status PortDataFromAnyData(GAnyData& value, std::shared_ptr<IPortData>& data) {
  try {
    return ConvertValue(value, data);
  } catch (const std::exception& e) {
    return grpc::Status(grpc::StatusCode::INTERNAL, e.what());
  }
}

grpc::Status PortDataToAnyData(const IPortData& data, GAnyData& value) {
  const IDataType* type = data.GetDataType();
  if (type != nullptr) {
    if (DataTypeNumbers::Equals(type)) {
      SetNumbers(*CastToNumbers(&data), *value.mutable_numbers());
      return grpc::Status::OK;
    }
    if (DataTypeScalar::Equals(type)) {
      if (const PortDataScalar* scalar = AsScalar(data)) {
        value.mutable_scalar()->set_value(scalar->GetStr());
      }
      return grpc::Status::OK;
    }
    if (DataTypeMat::Equals(type)) {
      SetMat(*CastToMat(&data), *value.mutable_mat());
      return grpc::Status::OK;
    }
    if (DataTypeStr::Equals(type)) {
      if (const PortDataScalar* scalar = AsScalar(data)) value.set_string_val(scalar->GetStr());
      return grpc::Status::OK;
    }
  }
  return grpc::Status(grpc::StatusCode::INTERNAL, "Unsupported data type");
}

std::uint64_t AnyDataBytesBound(const IPortData& data) {
  // Tags, lengths and small fields of the value and its message, far above what they take.
  constexpr std::uint64_t kFieldRoom = 64;
  constexpr std::uint64_t kDimRoom = 11;  // a tag byte and a 64-bit varint
  const IDataType* type = data.GetDataType();
  if (type == nullptr) return 0;
  if (DataTypeMat::Equals(type)) {
    const PortDataMat& matrix = *CastToMat(&data);
    return matrix.GetSize() + matrix.GetEncoded().size() +
           kDimRoom * static_cast<std::uint64_t>(matrix.GetDimsSize()) + kFieldRoom;
  }
  if (DataTypeNumbers::Equals(type)) return CastToNumbers(&data)->GetSize() + kFieldRoom;
  if (DataTypeScalar::Equals(type) || DataTypeStr::Equals(type)) {
    const auto* scalar = dynamic_cast<const PortDataScalar*>(&data);
    return (scalar != nullptr ? scalar->GetSize() : 0) + kFieldRoom;
  }
  return 0;
}

grpc::Status PropertyValueFromAnyData(const zelph::SetDataRequest& request,
                                      PropertyValue& property) {
  const GAnyData& value = request.data();
  switch (value.value_case()) {
    case GAnyData::kBoolVal:
      property.value = value.bool_val();
      break;
    case GAnyData::kInt32Val:
      property.value = static_cast<int>(value.int32_val());
      break;
    case GAnyData::kDoubleVal:
      property.value = value.double_val();
      break;
    case GAnyData::kStringVal:
      property.value = value.string_val();
      break;
    case GAnyData::kInt64Val:
      property.value = static_cast<long long>(value.int64_val());
      break;
    default:
      return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "Unsupported property type");
  }
  property.changed = true;
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Set property, url={}, value={}",
            zelph::QuoteClientText(request.url()), Shown(property.value));
  return grpc::Status::OK;
}

grpc::Status SetPropertyFromAnyData(Property* properties, const std::string& name,
                                    const zelph::SetDataRequest& request) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "TEST property id: {}", zelph::QuoteClientText(name));
  PropertyValue value;
  if (grpc::Status status = PropertyValueFromAnyData(request, value); !status.ok()) return status;
  // Moved into the bag, so a long text is copied once, from the request.
  std::visit([&](auto&& alternative) { properties->SetValue(name, std::move(alternative)); },
             std::move(value.value));
  return grpc::Status::OK;
}

grpc::Status SetWorkerPropertyFromAnyData(IDataProcess& worker, const std::string& name,
                                          const zelph::SetDataRequest& request) {
  Property* properties = worker.GetProperties();
  if (properties == nullptr) {
    return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "properties not found");
  }
  const grpc::Status status = SetPropertyFromAnyData(properties, name, request);
  // The mirror carries the same value, so its status is the first write's.
  if (status.ok() && name.starts_with(kSystemPropertyPrefix)) {
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "TEST write system property: {}",
              zelph::QuoteClientText(name));
    if (Property* system = worker.GetSystemProperties()) {
      SetPropertyFromAnyData(system, name.substr(kSystemPropertyPrefix.size()), request);
    }
  }
  return status;
}
