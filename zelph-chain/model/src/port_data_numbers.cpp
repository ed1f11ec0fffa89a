// port_data_numbers.cpp
//
// Number blocks: buffer ownership, element conversion and the text preview.
#include "zelph/model/port_data_numbers.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "zelph/chain/exception.h"
#include "zelph/logger/log.h"
#include "zelph/model/numeric_text.h"

namespace {

// Calls `fn` with a value of the C++ element type of `type`; false for other types.
template <typename Fn>
bool WithElementType(const IDataType* type, Fn&& fn) {
  if (type == nullptr) return false;
  if (DataTypeByte::Equals(type)) return fn(std::int8_t{}), true;
  if (DataTypeShort::Equals(type)) return fn(short{}), true;
  if (DataTypeInt32::Equals(type)) return fn(int{}), true;
  if (DataTypeFloat::Equals(type)) return fn(float{}), true;
  if (DataTypeInt64::Equals(type)) return fn(static_cast<long long>(0)), true;
  if (DataTypeDouble::Equals(type)) return fn(double{}), true;
  return false;
}

// A C++ conversion, except that floating values reach integers through a defined
// truncation (32 bits for byte, short and int targets, whose low bytes remain; 64 bits for
// long) instead of undefined behaviour for NaN and out-of-range values.
template <typename To, typename From>
To ConvertElement(From value) {
  if constexpr (std::is_floating_point_v<From> && std::is_integral_v<To>) {
    if constexpr (sizeof(To) == 8) {
      return zelph::text::TruncateToInt64(value);
    } else {
      return static_cast<To>(zelph::text::TruncateToInt32(value));
    }
  } else {
    return static_cast<To>(value);
  }
}

// Converts `count` elements between two supported types; unsupported types convert
// nothing.
void ArrayConvert(const void* source, const IDataType* sourceType, void* target,
                  const IDataType* targetType, size_t count) {
  if (count == 0) return;
  WithElementType(sourceType, [&](auto source_tag) {
    using From = decltype(source_tag);
    WithElementType(targetType, [&](auto target_tag) {
      using To = decltype(target_tag);
      const From* from = static_cast<const From*>(source);
      To* to = static_cast<To*>(target);
      if constexpr (std::is_same_v<From, To>) {
        std::memcpy(to, from, count * sizeof(From));
      } else {
        for (size_t i = 0; i < count; ++i) to[i] = ConvertElement<To>(from[i]);
      }
    });
  });
}

void AppendElement(std::string& text, std::int8_t value) {
  text += std::to_string(static_cast<unsigned char>(value));
}
void AppendElement(std::string& text, short value) {
  text += std::to_string(static_cast<unsigned short>(value));
}
void AppendElement(std::string& text, int value) { text += std::to_string(value); }
void AppendElement(std::string& text, long long value) { text += std::to_string(value); }
// The default format of an output stream: six significant digits, like printf's %g.
void AppendElement(std::string& text, double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%g", value);
  text += buffer;
}
void AppendElement(std::string& text, float value) {
  AppendElement(text, static_cast<double>(value));
}

template <typename T>
T* TypedBuffer(char* data, const IDataType* elementType, bool check,
               bool (*is_type)(const IDataType*)) {
  if (data == nullptr) return nullptr;
  if (check && (elementType == nullptr || !is_type(elementType))) return nullptr;
  return reinterpret_cast<T*>(data);
}

}  // namespace

PortDataNumbers::PortDataNumbers()
    : PortData(DataTypeNumbers::GetInstance()), element_type_(DataTypeByte::GetInstance()) {}

PortDataNumbers::PortDataNumbers(const PortDataNumbers* source, IDataType* elementType)
    : PortDataNumbers() {
  if (source == nullptr || !IsSupportedElementDataType(elementType)) return;
  element_type_ = elementType;
  block_length_ = source->block_length_;
  element_size_ = GetElementSizeBytes(elementType);
  const size_t length = source->GetLength();
  size_t size = 0;
  char* buffer = nullptr;
  try {
    if (__builtin_mul_overflow(length, static_cast<size_t>(element_size_), &size)) {
      throw std::bad_array_new_length();
    }
    if (size > 0) buffer = new char[size];
  } catch (const std::exception&) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Allocation failed");
    SetFlags(0);
    return;
  }
  ArrayConvert(source->data_, source->element_type_, buffer, element_type_, length);
  data_ = buffer;
  size_ = size;
  SetFlags(source->GetFlags());
}

PortDataNumbers::~PortDataNumbers() {
  if (!owner_) delete[] data_;
}

std::unique_ptr<PortDataNumbers> PortDataNumbers::ConvertTo(IDataType* elementType) const {
  return std::make_unique<PortDataNumbers>(this, elementType);
}

void PortDataNumbers::SetData(char* data, size_t size, IDataType* elementType) {
  UseBuffer(data, size, elementType);
}

void PortDataNumbers::SetSharedData(char* data, size_t size, IDataType* elementType,
                                    std::shared_ptr<const void> owner) {
  UseBuffer(data, size, elementType);
  owner_ = std::move(owner);
}

void PortDataNumbers::UseBuffer(char* data, size_t size, IDataType* elementType) {
  ResetData();
  if (!IsSupportedElementDataType(elementType)) {
    throw zelph::Exception("Unsupported element data type for number vector container");
  }
  element_size_ = GetElementSizeBytes(elementType);
  if (size % static_cast<size_t>(element_size_) != 0) {
    throw zelph::Exception("Invalid buffer size, it should be devide by element size");
  }
  data_ = data;
  size_ = size;
  element_type_ = elementType;
  SetInitialized(true);
}

void PortDataNumbers::SetDataAndCopy(const char* data, size_t size, IDataType* elementType) {
  std::unique_ptr<char[]> copy;
  try {
    if (data == nullptr && size > 0) throw std::invalid_argument("no source data");
    copy.reset(new char[size]);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed set and copy numbers data: {}", e.what());
    ResetData();
    return;
  }
  if (size > 0) std::memcpy(copy.get(), data, size);
  SetData(copy.get(), size, elementType);  // throws before taking the buffer over
  copy.release();
}

size_t PortDataNumbers::GetLength() const {
  return element_size_ > 0 ? size_ / static_cast<size_t>(element_size_) : 0;
}

size_t PortDataNumbers::GetBlockCount() const {
  return block_length_ > 0 ? GetLength() / static_cast<size_t>(block_length_) : 0;
}

int PortDataNumbers::GetElementSizeBytes(IDataType* type) const {
  int bytes = 0;
  if (!WithElementType(type, [&](auto tag) { bytes = sizeof(tag); })) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Undefined element size, unknown element type");
  }
  return bytes;
}

bool PortDataNumbers::IsSupportedElementDataType(const IDataType* type) {
  return WithElementType(type, [](auto) {});
}

char* PortDataNumbers::ToByteArray(bool check) const {
  return TypedBuffer<char>(data_, element_type_, check, &DataTypeByte::Equals);
}
short* PortDataNumbers::ToShortArray(bool check) const {
  return TypedBuffer<short>(data_, element_type_, check, &DataTypeShort::Equals);
}
int* PortDataNumbers::ToIntArray(bool check) const {
  return TypedBuffer<int>(data_, element_type_, check, &DataTypeInt32::Equals);
}
long long* PortDataNumbers::ToInt64Array(bool check) const {
  return TypedBuffer<long long>(data_, element_type_, check, &DataTypeInt64::Equals);
}
float* PortDataNumbers::ToFloatArray(bool check) const {
  return TypedBuffer<float>(data_, element_type_, check, &DataTypeFloat::Equals);
}
double* PortDataNumbers::ToDoubleArray(bool check) const {
  return TypedBuffer<double>(data_, element_type_, check, &DataTypeDouble::Equals);
}

std::string PortDataNumbers::Preview(size_t max) const {
  const size_t length = GetLength();
  const size_t count = length < max ? length : max;
  std::string text = ToString() + "\n";
  if (block_length_ > 0 && data_ != nullptr) {
    const size_t block = static_cast<size_t>(block_length_);
    const size_t rows = count / block;
    WithElementType(element_type_, [&](auto tag) {
      const auto* values = reinterpret_cast<const decltype(tag)*>(data_);
      for (size_t row = 0; row < rows; ++row) {
        for (size_t i = 0; i < block; ++i) {
          AppendElement(text, values[row * block + i]);
          text += ", ";
        }
        text += '\n';
      }
    });
  }
  if (length > max) text += "...";
  return text;
}

void PortDataNumbers::ResetData() {
  if (!owner_) delete[] data_;
  owner_.reset();
  data_ = nullptr;
  size_ = 0;
  element_size_ = 0;
  element_type_ = nullptr;
  SetInitialized(false);
}
