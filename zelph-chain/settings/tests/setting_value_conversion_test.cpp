// setting_value_conversion_test.cpp
//
// JSON values converted to settings-control values, type by type.
#include <gtest/gtest.h>

#include <climits>

#include "zelph/config/rapidjson.h"
#include "zelph/settings/setting_value_conversion.h"

namespace zelph {
namespace {

struct Case {
  const char* json;  // one JSON value
  const IDataType* type;
  PropertyVariant expected;
  const char* error = nullptr;  // the failure's text instead of a value
};

PropertyValue Convert(const rapidjson::Value& value, const IDataType* type) {
  if (value.IsBool()) return JsonBoolToPropertyValue(value, type);
  if (value.IsString()) return JsonStringToPropertyValue(value, type);
  return JsonNumberToPropertyValue(value, type);
}

TEST(SettingValueConversionTest, ConvertsByControlType) {
  const auto* int32 = DataTypeInt32::GetInstance();
  const auto* boolean = DataTypeBool::GetInstance();
  const Case kCases[] = {
      {"7", DataTypeShort::GetInstance(), 7},
      {"4294967296", DataTypeInt64::GetInstance(), 4294967296LL},
      {"0.1", DataTypeFloat::GetInstance(), static_cast<double>(0.1f)},
      {"0.1", DataTypeDouble::GetInstance(), 0.1},
      {"3.9", int32, 0, "Something wrong in JSON file!"},
      {"4294967296", int32, 0, "Something wrong in JSON file!"},
      {"2", DataTypeStr::GetInstance(), 0, "Unsupported number conversion"},
      {"2", nullptr, 0, "Unsupported number conversion"},
      // A number for a boolean control is true when it is not 0.
      {"0", boolean, false},
      {"2.5", boolean, true},
      {"-1", boolean, true},
      {"\"3.9\"", int32, 3},
      {"\"  -12abc\"", int32, -12},
      {"\"x\"", int32, 0},
      // Integer texts saturate at the int range rather than wrapping.
      {"\"99999999999\"", int32, INT_MAX},
      {"\"-99999999999\"", DataTypeShort::GetInstance(), INT_MIN},
      {"\"99999999999\"", DataTypeInt64::GetInstance(), 99999999999LL},
      {"\"2.5e1\"", DataTypeFloat::GetInstance(), 25.0},
      {"\"true\"", boolean, true},
      {"\"True\"", boolean, false},
      {"\"text\"", DataTypeScalar::GetInstance(), std::string("text")},
      {"\"a\\u0000b\"", DataTypeStr::GetInstance(), std::string("a")},
      {"\"1\"", DataTypeMat::GetInstance(), 0, "Unsupported bool conversion"},
      {"true", boolean, true},
      {"false", int32, 0, "Unsupported bool conversion"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.json);
    rapidjson::Document document;
    ASSERT_FALSE(document.Parse(c.json).HasParseError());
    if (c.error != nullptr) {
      try {
        Convert(document, c.type);
        ADD_FAILURE() << "no failure";
      } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), c.error);
      }
      continue;
    }
    const PropertyValue value = Convert(document, c.type);
    EXPECT_TRUE(value.changed);
    EXPECT_EQ(value.value, c.expected);
  }
}

}  // namespace
}  // namespace zelph
