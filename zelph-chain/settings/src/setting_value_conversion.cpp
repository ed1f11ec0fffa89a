// setting_value_conversion.cpp
//
// JSON values to settings-control values by data type.
#include "zelph/settings/setting_value_conversion.h"

#include <climits>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

template <typename DataType>
bool Is(const IDataType* type) {
  return type != nullptr && DataType::Equals(type);
}

bool IsInt32Type(const IDataType* type) {
  return Is<DataTypeShort>(type) || Is<DataTypeInt32>(type);
}

// The variant is made in place: a variant passed by value and moved in makes g++ 12 warn
// (maybe-uninitialized) in optimised builds with the sanitizers.
template <typename Value>
PropertyValue Changed(Value&& value) {
  return PropertyValue{true, PropertyVariant(std::forward<Value>(value))};
}

// `long` is 64 bits here: reading through it into an int would wrap, not saturate.
int ReadInt32(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

PropertyValue JsonNumberToPropertyValue(const rapidjson::Value& number, const IDataType* type) {
  if (IsInt32Type(type)) return Changed(number.GetInt());
  if (Is<DataTypeInt64>(type)) return Changed(static_cast<long long>(number.GetInt64()));
  if (Is<DataTypeFloat>(type)) {
    return Changed(static_cast<double>(static_cast<float>(number.GetDouble())));
  }
  if (Is<DataTypeDouble>(type)) return Changed(number.GetDouble());
  if (Is<DataTypeBool>(type)) return Changed(number.GetDouble() != 0.0);
  throw std::runtime_error("Unsupported number conversion");
}

PropertyValue JsonStringToPropertyValue(const rapidjson::Value& text, const IDataType* type) {
  const std::string value = text.GetString();  // up to the first NUL
  if (Is<DataTypeScalar>(type) || Is<DataTypeStr>(type)) return Changed(value);
  if (Is<DataTypeBool>(type)) return Changed(value == "true");
  if (IsInt32Type(type)) return Changed(ReadInt32(value.c_str()));
  if (Is<DataTypeInt64>(type)) {
    return Changed(static_cast<long long>(std::strtoll(value.c_str(), nullptr, 10)));
  }
  if (Is<DataTypeFloat>(type) || Is<DataTypeDouble>(type)) {
    return Changed(std::strtod(value.c_str(), nullptr));
  }
  throw std::runtime_error("Unsupported bool conversion");
}

PropertyValue JsonBoolToPropertyValue(const rapidjson::Value& flag, const IDataType* type) {
  if (!Is<DataTypeBool>(type)) throw std::runtime_error("Unsupported bool conversion");
  return Changed(flag.GetBool());
}
