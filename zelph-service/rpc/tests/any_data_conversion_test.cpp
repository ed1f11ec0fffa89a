// any_data_conversion_test.cpp
//
// GAnyData values into port data and back for every value case, element type and depth;
// matrix and number bytes taken over from the message rather than copied; matrices whose
// buffer does not fit their layout; the cases each direction refuses; and GAnyData values
// written into property bags.
#include "zelph/rpc/any_data_conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "any_data_values.h"
#include "capturing_logger.h"
#include "quiet_worker.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/property.h"
#include "zelph/model/uuid.h"

namespace zelph {
namespace {

using testing::MatValue;
using testing::NumbersValue;
using testing::Pattern;

// Converts a copy, so that the caller's value stays whole to compare with.
std::shared_ptr<IPortData> Convert(const GAnyData& value) {
  GAnyData taken = value;
  std::shared_ptr<IPortData> data;
  const grpc::Status status = PortDataFromAnyData(taken, data);
  EXPECT_TRUE(status.ok()) << status.error_message();
  EXPECT_NE(data, nullptr);
  return data;
}

GAnyData Back(const IPortData& data) {
  GAnyData value;
  const grpc::Status status = PortDataToAnyData(data, value);
  EXPECT_TRUE(status.ok()) << status.error_message();
  return value;
}

TEST(AnyDataConversionTest, ScalarKindsBecomeTextAndReturnAsScalarText) {
  struct Case {
    const char* name;
    std::function<void(GAnyData&)> set;
    std::string text;
  };
  const Case kCases[] = {
      {"bool", [](GAnyData& v) { v.set_bool_val(true); }, "true"},
      {"bool false", [](GAnyData& v) { v.set_bool_val(false); }, "false"},
      {"int32", [](GAnyData& v) { v.set_int32_val(-7); }, "-7"},
      {"double", [](GAnyData& v) { v.set_double_val(2.5); }, "2.500000"},
      {"string", [](GAnyData& v) { v.set_string_val("abc"); }, "abc"},
      {"empty string", [](GAnyData& v) { v.set_string_val(""); }, ""},
      {"int64", [](GAnyData& v) { v.set_int64_val(5000000000); }, "5000000000"},
      {"bytes", [](GAnyData& v) { v.set_buffer(std::string("a\0b", 3)); }, std::string("a\0b", 3)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    GAnyData value;
    c.set(value);
    const std::shared_ptr<IPortData> data = Convert(value);
    const PortDataScalar* scalar = CastToScalar(data.get());
    ASSERT_NE(scalar, nullptr);
    EXPECT_TRUE(scalar->IsInitialized());
    EXPECT_EQ(scalar->GetStr(), c.text);

    const GAnyData back = Back(*data);
    ASSERT_EQ(back.value_case(), GAnyData::kScalar);
    EXPECT_EQ(back.scalar().value(), c.text);
  }
}

TEST(AnyDataConversionTest, NumbersKeepElementTypeBytesAndPositiveBlockLength) {
  struct Case {
    GElementType code;
    IDataType* type;
    size_t element_bytes;
    int block_length;  // as sent
    int kept_block_length;
  };
  const Case kCases[] = {
      {kByte, DataTypeByte::GetInstance(), 1, 0, 1},
      {kShort, DataTypeShort::GetInstance(), 2, 1, 1},
      {kInt32, DataTypeInt32::GetInstance(), 4, 3, 3},
      {kInt64, DataTypeInt64::GetInstance(), 8, -2, 1},
      {kFloat, DataTypeFloat::GetInstance(), 4, 3, 3},
      {kDouble, DataTypeDouble::GetInstance(), 8, 2, 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.type->GetName());
    for (size_t count : {size_t{0}, size_t{6}}) {
      const GAnyData value = NumbersValue(c.code, count * c.element_bytes, c.block_length);
      const std::shared_ptr<IPortData> data = Convert(value);
      const PortDataNumbers* numbers = CastToNumbers(data.get());
      ASSERT_NE(numbers, nullptr);
      EXPECT_EQ(numbers->GetElementDataType(), c.type);
      EXPECT_EQ(numbers->GetLength(), count);
      EXPECT_EQ(numbers->GetBlockLength(), c.kept_block_length);
      ASSERT_EQ(numbers->GetSize(), count * c.element_bytes);
      if (count > 0) {
        EXPECT_EQ(std::string(numbers->ToByteArray(false), numbers->GetSize()),
                  value.numbers().buffer());
        EXPECT_NE(numbers->ToByteArray(false), value.numbers().buffer().data());
      }

      const GAnyData back = Back(*data);
      ASSERT_EQ(back.value_case(), GAnyData::kNumbers);
      EXPECT_EQ(back.numbers().element_type(), c.code);
      EXPECT_EQ(back.numbers().block_length(), c.kept_block_length);
      EXPECT_EQ(back.numbers().buffer(), value.numbers().buffer());
    }
  }
}

struct MatCase {
  const char* name;
  int depth_code;
  std::vector<std::int64_t> dims;
  int channels;
  size_t buffer_bytes;
  MatDepth stored_depth;
  GImageDataDepth returned_depth;
};

TEST(AnyDataConversionTest, MatricesKeepShapeDepthAndBytes) {
  const MatCase kCases[] = {
      {"8U", 0, {4, 2}, 1, 8, ::kDepth8U, kDepth8U},
      {"8S", 1, {4, 2}, 3, 24, ::kDepth8S, kDepth8S},
      {"16U", 2, {4, 2}, 1, 16, ::kDepth16U, kDepth16U},
      {"16S 3-D", 3, {2, 3, 4}, 2, 96, ::kDepth16S, kDepth16S},
      {"32S", 4, {4, 2}, 1, 32, ::kDepth32S, kDepth32S},
      {"32F", 5, {4, 2}, 4, 128, ::kDepth32F, kDepth32F},
      {"64F", 6, {4, 2}, 1, 64, ::kDepth64F, kDepth64F},
      // 17 values of one bit take three bytes.
      {"1-bit", 101, {17}, 1, 3, ::kDepth1Bit, kDepthBit},
      {"1-bit 2-D", 101, {8, 2}, 1, 2, ::kDepth1Bit, kDepthBit},
      {"unknown code 404 reads 8U", 404, {4, 2}, 1, 8, ::kDepth8U, kDepth8U},
      {"code 7 reads 8U", 7, {4, 2}, 1, 8, ::kDepth8U, kDepth8U},
      {"longer buffer", 0, {4, 2}, 1, 20, ::kDepth8U, kDepth8U},
      {"zero channels (an encoded preview)", 2, {300, 200}, 0, 5, ::kDepth16U, kDepth16U},
      {"no dims", 5, {}, 1, 12, ::kDepth32F, kDepth32F},
      {"zero dimension", 0, {0, 5}, 1, 4, ::kDepth8U, kDepth8U},
  };
  for (const MatCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const GAnyData value = MatValue(c.depth_code, c.dims, c.channels, c.buffer_bytes);
    const std::shared_ptr<IPortData> data = Convert(value);
    const PortDataMat* mat = CastToMat(data.get());
    ASSERT_NE(mat, nullptr);
    EXPECT_TRUE(mat->IsInitialized());
    EXPECT_EQ(mat->GetDepth(), c.stored_depth);
    EXPECT_EQ(mat->GetChannels(), c.channels);
    ASSERT_EQ(mat->GetDimsSize(), static_cast<int>(c.dims.size()));
    for (size_t i = 0; i < c.dims.size(); ++i) {
      EXPECT_EQ(mat->GetDim(static_cast<int>(i)), static_cast<size_t>(c.dims[i]));
    }
    ASSERT_EQ(mat->GetSize(), c.buffer_bytes);
    EXPECT_EQ(std::memcmp(mat->GetData(), value.mat().buffer().data(), c.buffer_bytes), 0);
    EXPECT_EQ(mat->GetEncoded(), "");

    const GAnyData back = Back(*data);
    ASSERT_EQ(back.value_case(), GAnyData::kMat);
    EXPECT_EQ(back.mat().depth(), c.returned_depth);
    EXPECT_EQ(back.mat().channels(), c.channels);
    EXPECT_EQ(std::vector<std::int64_t>(back.mat().dims().begin(), back.mat().dims().end()),
              c.dims);
    EXPECT_EQ(back.mat().buffer(), value.mat().buffer());
  }
}

TEST(AnyDataConversionTest, EmptyMatrixIsStoredUninitialised) {
  GAnyData value = MatValue(5, {640, 480}, 3, 0);
  value.mutable_mat()->set_encoded("jpeg");  // not read
  const std::shared_ptr<IPortData> data = Convert(value);
  const PortDataMat* mat = CastToMat(data.get());
  ASSERT_NE(mat, nullptr);
  EXPECT_FALSE(mat->IsInitialized());
  EXPECT_EQ(mat->GetSize(), 0u);
  EXPECT_EQ(mat->GetEncoded(), "");

  const GAnyData back = Back(*data);
  ASSERT_EQ(back.value_case(), GAnyData::kMat);
  EXPECT_EQ(back.mat().dims_size(), 0);
  EXPECT_EQ(back.mat().channels(), 0);
  EXPECT_EQ(back.mat().depth(), kDepth8U);
  EXPECT_EQ(back.mat().buffer(), "");
}

// A matrix is walked by its dims wherever it goes (previews, workers, the Java bridge), so
// one whose buffer does not cover them must never be stored.
TEST(AnyDataConversionTest, RefusesMatricesWhoseBufferDoesNotCoverTheirLayout) {
  struct Case {
    const char* name;
    int depth_code;
    std::vector<std::int64_t> dims;
    int channels;
    size_t buffer_bytes;
    std::string message;
  };
  const Case kCases[] = {
      {"huge dims, small buffer",
       0,
       {100000, 100000},
       1,
       16,
       "Invalid mat: buffer size 16 is smaller than the layout size 10000000000"},
      {"one byte short",
       0,
       {4, 2},
       3,
       23,
       "Invalid mat: buffer size 23 is smaller than the layout size 24"},
      {"element size counts",
       6,
       {4, 2},
       1,
       63,
       "Invalid mat: buffer size 63 is smaller than the layout size 64"},
      {"404 counts as 8U but dims still count",
       404,
       {4, 3},
       1,
       11,
       "Invalid mat: buffer size 11 is smaller than the layout size 12"},
      {"1-bit rounds up",
       101,
       {17},
       1,
       2,
       "Invalid mat: buffer size 2 is smaller than the layout size 3"},
      {"layout overflows",
       0,
       {std::int64_t{1} << 62, 8},
       1,
       16,
       "Invalid mat: the layout size overflows"},
      {"negative dimension", 0, {-1, 4}, 1, 64, "Invalid mat: negative dimension"},
      {"negative dimension, empty buffer", 0, {4, -2}, 1, 0, "Invalid mat: negative dimension"},
      {"negative channels", 0, {4, 2}, -1, 8, "Invalid mat: negative channel count"},
      {"negative channels, empty buffer", 0, {}, -3, 0, "Invalid mat: negative channel count"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto untouched = std::make_shared<PortDataScalar>(std::string("before"));
    std::shared_ptr<IPortData> data = untouched;
    GAnyData value = MatValue(c.depth_code, c.dims, c.channels, c.buffer_bytes);
    const grpc::Status status = PortDataFromAnyData(value, data);
    EXPECT_EQ(status.error_code(), grpc::StatusCode::INVALID_ARGUMENT);
    EXPECT_EQ(status.error_message(), c.message);
    EXPECT_EQ(data, untouched);
    // A refused value keeps its bytes.
    EXPECT_EQ(value.mat().buffer().size(), c.buffer_bytes);
  }
}

TEST(AnyDataConversionTest, RefusesValuesThatAreNotPortData) {
  struct Case {
    const char* name;
    std::function<void(GAnyData&)> set;
    std::string message;
    const char* logged;
  };
  const Case kCases[] = {
      {"no value", [](GAnyData&) {}, "Unsupported data value case", nullptr},
      {"scalar message", [](GAnyData& v) { v.mutable_scalar()->set_value("x"); },
       "Unsupported data value case", nullptr},
      {"setting node", [](GAnyData& v) { v.mutable_setting_node(); }, "Unsupported data value case",
       nullptr},
      {"execution status", [](GAnyData& v) { v.mutable_execution_status(); },
       "Unsupported data value case", nullptr},
      {"numbers of element type 0",
       [](GAnyData& v) {
         v.mutable_numbers()->set_element_type(kUnknown);
         v.mutable_numbers()->set_buffer("abcd");
       },
       "Unsupported element data type for number vector container", "Unknown data type"},
      {"numbers of element type 99",
       [](GAnyData& v) { v.mutable_numbers()->set_element_type(static_cast<GElementType>(99)); },
       "Unsupported element data type for number vector container", "Unknown data type"},
      {"6 bytes of int32",
       [](GAnyData& v) {
         v.mutable_numbers()->set_element_type(kInt32);
         v.mutable_numbers()->set_buffer("abcdef");
       },
       "Invalid buffer size, it should be devide by element size", nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    testing::CapturingLogger log;
    GAnyData value;
    c.set(value);
    const GAnyData sent = value;
    std::shared_ptr<IPortData> data;
    const grpc::Status status = PortDataFromAnyData(value, data);
    EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL);
    EXPECT_EQ(status.error_message(), c.message);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(value.SerializeAsString(), sent.SerializeAsString());  // the bytes stay
    if (c.logged) {
      EXPECT_NE(log.Text().find(std::string("[error] ") + c.logged), std::string::npos);
    }
  }
}

// The port data uses the very bytes the message carried, and they outlive the message (the
// address-sanitizer build reports a read of freed bytes otherwise).
TEST(AnyDataConversionTest, MatrixAndNumberBytesAreTakenOverFromTheMessage) {
  struct Case {
    const char* name;
    std::function<void(GAnyData&)> set;
    std::function<const char*(const IPortData&)> bytes_of;
  };
  constexpr size_t kBytes = 4096;
  const Case kCases[] = {
      {"matrix",
       [](GAnyData& v) {
         *v.mutable_mat() = MatValue(0, {64, 32}, 2, kBytes).mat();
       },
       [](const IPortData& data) -> const char* { return CastToMat(&data)->GetData(); }},
      {"numbers",
       [](GAnyData& v) {
         v.mutable_numbers()->set_element_type(kInt32);
         v.mutable_numbers()->set_buffer(Pattern(kBytes));
       },
       [](const IPortData& data) -> const char* {
         return CastToNumbers(&data)->ToByteArray(false);
       }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::shared_ptr<IPortData> data;
    const char* carried = nullptr;
    {
      auto message = std::make_unique<GAnyData>();
      c.set(*message);
      carried =
          message->has_mat() ? message->mat().buffer().data() : message->numbers().buffer().data();
      ASSERT_TRUE(PortDataFromAnyData(*message, data).ok());
    }
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(c.bytes_of(*data), carried);
    EXPECT_EQ(std::string(c.bytes_of(*data), kBytes), Pattern(kBytes));
  }
}

// Port data that no API message carries, or that claims a type it is not.
class ForeignData : public PortData {
 public:
  explicit ForeignData(IDataType* type) : PortData(type) {}
  void ResetData() override {}
};

class TextData : public PortDataScalar {
 public:
  explicit TextData(const std::string& text) : PortDataScalar(text) {}
  IDataType* GetDataType() const override { return DataTypeStr::GetInstance(); }
};

TEST(AnyDataConversionTest, PortDataWithoutItsOwnMessage) {
  testing::CapturingLogger log;
  GAnyData value;

  EXPECT_TRUE(PortDataToAnyData(TextData("plain text"), value).ok());
  ASSERT_EQ(value.value_case(), GAnyData::kStringVal);
  EXPECT_EQ(value.string_val(), "plain text");

  value.Clear();
  const grpc::Status unsupported =
      PortDataToAnyData(ForeignData(DataTypeContours::GetInstance()), value);
  EXPECT_EQ(unsupported.error_code(), grpc::StatusCode::INTERNAL);
  EXPECT_EQ(unsupported.error_message(), "Unsupported data type");
  EXPECT_EQ(value.value_case(), GAnyData::VALUE_NOT_SET);

  for (IDataType* type : {DataTypeScalar::GetInstance(), DataTypeStr::GetInstance()}) {
    log.Clear();
    EXPECT_TRUE(PortDataToAnyData(ForeignData(type), value).ok());
    EXPECT_EQ(value.value_case(), GAnyData::VALUE_NOT_SET);
    EXPECT_NE(log.Text().find("[error] Hmm...."), std::string::npos);
  }
}

TEST(AnyDataConversionTest, UnknownElementTypesAndDepthsAreSentAsUnknown) {
  testing::CapturingLogger log;
  PortDataNumbers reset;  // no element type
  reset.ResetData();
  GAnyData numbers = Back(reset);
  EXPECT_EQ(numbers.numbers().element_type(), kUnknown);
  EXPECT_EQ(numbers.numbers().buffer(), "");
  EXPECT_NE(log.Text().find("[error] Unknown data type"), std::string::npos);

  log.Clear();
  const size_t dims[] = {4, 2};
  PortDataMat odd(dims, 2, static_cast<MatDepth>(7), 1);
  odd.SetEncoded("raw");
  const GAnyData mat = Back(odd);
  EXPECT_EQ(mat.mat().depth(), kDepthUnknown);
  EXPECT_EQ(mat.mat().encoded(), "raw");
  EXPECT_EQ(mat.mat().dims_size(), 2);
  EXPECT_NE(log.Text().find("[error] Unknown depth"), std::string::npos);
}

TEST(AnyDataConversionTest, PropertiesTakeTheAlternativeOfTheValueCase) {
  struct Case {
    const char* name;
    std::function<void(GAnyData&)> set;
    PropertyVariant stored;
  };
  const Case kCases[] = {
      {"bool", [](GAnyData& v) { v.set_bool_val(true); }, true},
      {"int32", [](GAnyData& v) { v.set_int32_val(-4); }, -4},
      {"double", [](GAnyData& v) { v.set_double_val(0.25); }, 0.25},
      {"string", [](GAnyData& v) { v.set_string_val("on"); }, std::string("on")},
      {"int64", [](GAnyData& v) { v.set_int64_val(5); }, 5LL},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Property bag;
    bag.SetValue("p", std::string("held a string"));
    bag.ForEachChanged([](const std::string&, PropertyValue&) { return true; });
    SetDataRequest request;
    request.set_url("/session:s/project:p/worker:w/property:p");
    c.set(*request.mutable_data());
    EXPECT_TRUE(SetPropertyFromAnyData(&bag, "p", request).ok());
    EXPECT_EQ(bag.GetValue("p"), c.stored);
    bool marked = false;
    bag.ForEachChanged([&](const std::string&, PropertyValue&) { return marked = true; });
    EXPECT_TRUE(marked);
  }
}

TEST(AnyDataConversionTest, PropertiesRefuseValuesWithoutAnAlternative) {
  const std::function<void(GAnyData&)> kRefused[] = {
      [](GAnyData&) {},
      [](GAnyData& v) { v.set_buffer("bytes"); },
      [](GAnyData& v) { v.mutable_numbers()->set_element_type(kInt32); },
      [](GAnyData& v) { v.mutable_mat(); },
      [](GAnyData& v) { v.mutable_scalar()->set_value("1"); },
  };
  for (const auto& set : kRefused) {
    Property bag;
    bag.SetValue("p", 1);
    SetDataRequest request;
    set(*request.mutable_data());
    const grpc::Status status = SetPropertyFromAnyData(&bag, "p", request);
    EXPECT_EQ(status.error_code(), grpc::StatusCode::INVALID_ARGUMENT);
    EXPECT_EQ(status.error_message(), "Unsupported property type");
    EXPECT_EQ(bag.GetValue("p"), PropertyVariant(1));
  }
}

TEST(AnyDataConversionTest, TraceLinesQuoteAtMost256BytesOfClientText) {
  testing::CapturingLogger log;
  Property bag;
  SetDataRequest request;
  request.set_url("/session:s/project:p/worker:w/property:" + std::string(4000, 'n'));
  request.mutable_data()->set_string_val(std::string(4000, 'v'));
  const std::string name(4000, 'n');
  ASSERT_TRUE(SetPropertyFromAnyData(&bag, name, request).ok());
  EXPECT_EQ(bag.GetValue(name), PropertyVariant(std::string(4000, 'v')));

  const std::string text = log.Text();
  EXPECT_NE(text.find("TEST property id: " + std::string(256, 'n') + "...\n"), std::string::npos);
  EXPECT_NE(text.find("Set property, url=" + request.url().substr(0, 256) +
                      "..., value=" + std::string(256, 'v') + "...\n"),
            std::string::npos);
  EXPECT_LT(text.size(), 1500u);
}

std::map<std::string, std::string> Entries(Property& bag) {
  std::map<std::string, std::string> entries;
  bag.ForEach([&](const std::string& key, PropertyValue& value) {
    entries[key] = PropertyValueToString(value);
  });
  return entries;
}

// Only the full "$__system." prefix mirrors a worker property into the system properties.
TEST(AnyDataConversionTest, WorkerPropertiesMirrorOnlySystemPrefixedNames) {
  struct Case {
    std::string name;
    bool supported_value;
    std::map<std::string, std::string> user_added;
    std::map<std::string, std::string> system_added;
  };
  const Case kCases[] = {
      {"$__system.name", true, {{"$__system.name", "on"}}, {{"name", "on"}}},
      {"$__system", true, {{"$__system", "on"}}, {}},
      {"$__systemfoo", true, {{"$__systemfoo", "on"}}, {}},
      {"plain", true, {{"plain", "on"}}, {}},
      {"$__system.name", false, {}, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    testing::QuietWorker worker(NewUuid());
    const auto user_before = Entries(*worker.GetProperties());
    const auto system_before = Entries(*worker.GetSystemProperties());
    SetDataRequest request;
    if (c.supported_value) {
      request.mutable_data()->set_string_val("on");
    } else {
      request.mutable_data()->mutable_mat();
    }

    const grpc::Status status = SetWorkerPropertyFromAnyData(worker, c.name, request);
    EXPECT_EQ(status.ok(), c.supported_value) << status.error_message();

    auto user_expected = user_before;
    for (const auto& [key, value] : c.user_added) user_expected[key] = value;
    auto system_expected = system_before;
    for (const auto& [key, value] : c.system_added) system_expected[key] = value;
    EXPECT_EQ(Entries(*worker.GetProperties()), user_expected);
    EXPECT_EQ(Entries(*worker.GetSystemProperties()), system_expected);
  }
}

}  // namespace
}  // namespace zelph
