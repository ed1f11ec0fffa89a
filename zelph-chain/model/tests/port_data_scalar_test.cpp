// port_data_scalar_test.cpp
//
// Scalar port data: text forms, logged parsing, previews, flags, casts and ExtractDouble.
#include "zelph/model/port_data_scalar.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "capturing_logger.h"
#include "zelph/model/port.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"

namespace zelph {
namespace {

TEST(PortDataScalarTest, ConstructorsStoreTextForms) {
  struct Case {
    PortDataScalar scalar;
    const char* text;
  };
  const Case cases[] = {
      {PortDataScalar(true), "true"},
      {PortDataScalar(false), "false"},
      {PortDataScalar(-12), "-12"},
      {PortDataScalar(-9000000000LL), "-9000000000"},
      {PortDataScalar(0.1), "0.100000"},
      {PortDataScalar(2.5), "2.500000"},
      {PortDataScalar(1e20), "100000000000000000000.000000"},
      {PortDataScalar(std::string("abc")), "abc"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.scalar.GetStr(), c.text);
    EXPECT_TRUE(c.scalar.IsInitialized());
    EXPECT_EQ(c.scalar.GetDataType(), DataTypeScalar::GetInstance());
  }
  PortDataScalar scalar;
  EXPECT_FALSE(scalar.IsInitialized());
  scalar.Set(7);
  EXPECT_EQ(scalar.GetStr(), "7");
  EXPECT_TRUE(scalar.IsInitialized());
}

TEST(PortDataScalarTest, GettersParseAndLogFailures) {
  struct Case {
    const char* text;
    int int32;
    long long int64;
    double dbl;
    bool boolean;
    const char* logged;  // substring of the log, "" when nothing is logged
  };
  const Case cases[] = {
      {" 42abc", 42, 42, 42.0, false, ""},
      {"3.9", 3, 3, 3.9, false, ""},
      {"2147483648", 0, 2147483648LL, 2147483648.0, false,
       "Failed convert string to int32, stoi argument out of range"},
      {"abc", 0, 0, 0.0, false, "Failed convert string to double, invalid stod argument"},
      {"1e400", 1, 1, 0.0, false, "Failed convert string to double, stod argument out of range"},
      {"true", 0, 0, 0.0, true, "Failed convert string to long long, invalid stoll argument"},
      {"True", 0, 0, 0.0, false, ""},
      {"1", 1, 1, 1.0, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    testing::CapturingLogger log;
    PortDataScalar scalar{std::string(c.text)};
    EXPECT_EQ(scalar.GetInt32(), c.int32);
    EXPECT_EQ(scalar.GetInt64(), c.int64);
    EXPECT_DOUBLE_EQ(scalar.GetDouble(), c.dbl);
    EXPECT_EQ(scalar.GetBool(), c.boolean);
    if (*c.logged != '\0') {
      EXPECT_NE(log.Text().find(c.logged), std::string::npos) << log.Text();
    }
  }
  testing::CapturingLogger log;
  EXPECT_EQ(PortDataScalar().GetInt32(), 0);
  EXPECT_EQ(log.Text(), "[error] Failed convert string to int32, invalid stoi argument\n");
}

TEST(PortDataScalarTest, PreviewCutsAtMax) {
  const PortDataScalar scalar{std::string("abcdef")};
  EXPECT_EQ(scalar.Preview(3), "abc...");
  EXPECT_EQ(scalar.Preview(6), "abcdef");
  EXPECT_EQ(scalar.Preview(0), "...");
}

TEST(PortDataScalarTest, ResetAndFlags) {
  PortDataScalar scalar{std::string("hello")};
  EXPECT_EQ(scalar.ToString(), "scalar [5 bytes]");
  scalar.SetFlags(0b1010 | kInitialized);
  scalar.SetFlag(kInitialized, false);
  EXPECT_EQ(scalar.GetFlags(), 0b1010);
  scalar.SetInitialized(true);
  scalar.ResetData();
  EXPECT_FALSE(scalar.IsInitialized());
  EXPECT_EQ(scalar.GetSize(), 0u);
  EXPECT_EQ(scalar.GetFlags(), 0b1010);
  EXPECT_EQ(scalar.ToString(), "scalar [0 bytes]");
}

TEST(PortDataScalarTest, CastsAndExtractDouble) {
  testing::CapturingLogger log;
  auto scalar = std::make_shared<PortDataScalar>(std::string("abc"));
  PortDataNumbers numbers;
  EXPECT_EQ(CastToScalar(scalar.get()), scalar.get());
  EXPECT_EQ(CastToMat(scalar.get()), nullptr);
  EXPECT_EQ(CastToNumbers(static_cast<IPortData*>(&numbers)), &numbers);
  EXPECT_EQ(CastToScalar(static_cast<const IPortData*>(nullptr)), nullptr);

  EXPECT_EQ(ExtractDouble(&numbers, 7.5), 7.5);
  EXPECT_EQ(ExtractDouble(static_cast<IPortData*>(nullptr), 7.5), 7.5);
  EXPECT_EQ(ExtractDouble(scalar.get(), 7.5), 0.0);

  Port port;
  EXPECT_EQ(ExtractDouble(&port, 7.5), 7.5);
  port.SetData(std::make_shared<PortDataScalar>(2.5));
  EXPECT_EQ(ExtractDouble(&port, 7.5), 2.5);
  EXPECT_EQ(ExtractDouble(static_cast<Port*>(nullptr), 7.5), 7.5);
}

TEST(PortDataScalarTest, SharedEmptyObjectsExistAndAreUninitialised) {
  ASSERT_TRUE(PortDataScalar::empty && PortDataNumbers::empty && PortDataMat::empty);
  EXPECT_FALSE(PortDataScalar::empty->IsInitialized());
  EXPECT_FALSE(PortDataNumbers::empty->IsInitialized());
  EXPECT_FALSE(PortDataMat::empty->IsInitialized());
  EXPECT_EQ(PortDataMat::empty->GetDataType(), DataTypeMat::GetInstance());
}

}  // namespace
}  // namespace zelph
