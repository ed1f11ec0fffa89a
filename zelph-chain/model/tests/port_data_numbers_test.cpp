// port_data_numbers_test.cpp
//
// Number blocks: setting data and its errors, conversions, previews and descriptions,
// including reset objects and block lengths below 1.
#include "zelph/model/port_data_numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "capturing_logger.h"
#include "zelph/chain/exception.h"

namespace zelph {
namespace {

template <typename T>
std::unique_ptr<PortDataNumbers> Numbers(const std::vector<T>& values, IDataType* type,
                                         int blockLength = 1) {
  auto numbers = std::make_unique<PortDataNumbers>();
  numbers->SetBlockLength(blockLength);
  numbers->SetDataAndCopy(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T),
                          type);
  return numbers;
}

std::string ThrownText(PortDataNumbers& numbers, const char* data, size_t size, IDataType* type) {
  try {
    numbers.SetDataAndCopy(data, size, type);
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

TEST(PortDataNumbersTest, DefaultObject) {
  PortDataNumbers numbers;
  EXPECT_EQ(numbers.GetLength(), 0u);
  EXPECT_EQ(numbers.GetElementDataType(), DataTypeByte::GetInstance());
  EXPECT_EQ(numbers.ToByteArray(false), nullptr);
  EXPECT_FALSE(numbers.IsInitialized());
  EXPECT_EQ(numbers.ToString(), "numbers 1 x 0 (byte) [0 bytes]");
}

// Each refused copy must also be freed: the address-sanitizer build reports it otherwise.
TEST(PortDataNumbersTest, RefusedDataLeavesObjectResetAndLeaksNothing) {
  const char bytes[8] = {};
  PortDataNumbers numbers;
  EXPECT_EQ(ThrownText(numbers, bytes, 6, DataTypeInt32::GetInstance()),
            "Invalid buffer size, it should be devide by element size");
  EXPECT_EQ(numbers.GetElementSizeBytes(), 4);
  EXPECT_EQ(numbers.GetElementDataType(), nullptr);
  EXPECT_EQ(numbers.GetSize(), 0u);
  EXPECT_FALSE(numbers.IsInitialized());

  testing::CapturingLogger log;
  EXPECT_EQ(ThrownText(numbers, bytes, 8, DataTypeMat::GetInstance()),
            "Unsupported element data type for number vector container");
  EXPECT_EQ(ThrownText(numbers, bytes, 8, nullptr),
            "Unsupported element data type for number vector container");
  EXPECT_EQ(ThrownText(numbers, nullptr, 8, DataTypeByte::GetInstance()), "");
  EXPECT_FALSE(numbers.IsInitialized());
  EXPECT_NE(log.Text().find("Failed set and copy numbers data: no source data"), std::string::npos);
}

// Lent bytes are used where they lie; a refused buffer's owner is not kept, an accepted one is
// let go with the buffer.
TEST(PortDataNumbersTest, LentBytesAreUsedInPlaceAndTheirOwnerReleasedWithTheBuffer) {
  struct Case {
    const char* name;
    size_t size;
    IDataType* type;
    bool accepted;
  };
  const Case kCases[] = {
      {"two ints", 8, DataTypeInt32::GetInstance(), true},
      {"cut in an element", 6, DataTypeInt32::GetInstance(), false},
      {"no element type", 8, nullptr, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto bytes = std::make_shared<std::string>(std::string(c.size, '\x01'));
    const std::weak_ptr<std::string> watch = bytes;
    auto numbers = std::make_unique<PortDataNumbers>();
    char* data = bytes->data();
    if (c.accepted) {
      numbers->SetSharedData(data, c.size, c.type, std::move(bytes));
      EXPECT_EQ(numbers->ToByteArray(false), data);
      EXPECT_EQ(numbers->GetLength(), 2u);
      EXPECT_FALSE(watch.expired());
      numbers->ResetData();
    } else {
      testing::CapturingLogger log;
      EXPECT_THROW(numbers->SetSharedData(data, c.size, c.type, std::move(bytes)),
                   zelph::Exception);
      EXPECT_FALSE(numbers->IsInitialized());
    }
    EXPECT_TRUE(watch.expired());
  }
  // Destruction lets go as well.
  auto bytes = std::make_shared<std::string>("abcd");
  const std::weak_ptr<std::string> watch = bytes;
  auto numbers = std::make_unique<PortDataNumbers>();
  numbers->SetSharedData(bytes->data(), 4, DataTypeByte::GetInstance(), bytes);
  bytes.reset();
  numbers.reset();
  EXPECT_TRUE(watch.expired());
}

TEST(PortDataNumbersTest, TypedAccessorsShareTheBuffer) {
  auto numbers = Numbers<double>({1.5}, DataTypeDouble::GetInstance());
  EXPECT_EQ(numbers->GetLength(), 1u);
  EXPECT_TRUE(numbers->IsInitialized());
  ASSERT_NE(numbers->ToDoubleArray(true), nullptr);
  EXPECT_EQ(numbers->ToDoubleArray(true)[0], 1.5);
  EXPECT_EQ(numbers->ToFloatArray(true), nullptr);
  EXPECT_EQ(static_cast<void*>(numbers->ToFloatArray(false)),
            static_cast<void*>(numbers->ToDoubleArray(true)));

  auto empty = Numbers<int>({}, DataTypeInt32::GetInstance());
  EXPECT_TRUE(empty->IsInitialized());
  EXPECT_EQ(empty->GetLength(), 0u);
}

TEST(PortDataNumbersTest, ConvertsElementsLikeCppCastsWithDefinedFloatTruncation) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  auto byte = Numbers<std::int8_t>({-56, 5}, DataTypeByte::GetInstance())
                  ->ConvertTo(DataTypeInt32::GetInstance());
  EXPECT_EQ(std::vector<int>(byte->ToIntArray(true), byte->ToIntArray(true) + 2),
            (std::vector<int>{-56, 5}));

  auto shorts = Numbers<float>({2.7f, -2.7f, 70000.5f}, DataTypeFloat::GetInstance())
                    ->ConvertTo(DataTypeShort::GetInstance());
  EXPECT_EQ(std::vector<short>(shorts->ToShortArray(true), shorts->ToShortArray(true) + 3),
            (std::vector<short>{2, -2, 4464}));  // 70000 keeps its low 16 bits

  auto bytes =
      Numbers<int>({300}, DataTypeInt32::GetInstance(), 1)->ConvertTo(DataTypeByte::GetInstance());
  EXPECT_EQ(bytes->ToByteArray(true)[0], 44);

  auto ints = Numbers<double>({nan, inf, -1e300, 1e10}, DataTypeDouble::GetInstance())
                  ->ConvertTo(DataTypeInt32::GetInstance());
  EXPECT_EQ(std::vector<int>(ints->ToIntArray(true), ints->ToIntArray(true) + 4),
            (std::vector<int>{INT_MIN, INT_MIN, INT_MIN, INT_MIN}));
  auto longs = Numbers<double>({nan, -2.5, 1e30}, DataTypeDouble::GetInstance())
                   ->ConvertTo(DataTypeInt64::GetInstance());
  EXPECT_EQ(std::vector<long long>(longs->ToInt64Array(true), longs->ToInt64Array(true) + 3),
            (std::vector<long long>{LLONG_MIN, -2, LLONG_MIN}));

  auto source = Numbers<short>({1, 2, 3, 4}, DataTypeShort::GetInstance(), 2);
  source->SetFlags(0x10 | kInitialized);
  auto doubles = source->ConvertTo(DataTypeDouble::GetInstance());
  EXPECT_EQ(doubles->GetSize(), 32u);
  EXPECT_EQ(doubles->GetBlockLength(), 2);
  EXPECT_EQ(doubles->GetFlags(), 0x10 | kInitialized);
  EXPECT_EQ(doubles->ToDoubleArray(true)[3], 4.0);

  auto refused = source->ConvertTo(DataTypeNull::GetInstance());
  EXPECT_EQ(refused->GetSize(), 0u);
  EXPECT_EQ(refused->GetElementDataType(), DataTypeByte::GetInstance());
  EXPECT_FALSE(refused->IsInitialized());
}

TEST(PortDataNumbersTest, PreviewRowsBlocksAndSuffix) {
  struct Case {
    std::unique_ptr<PortDataNumbers> numbers;
    size_t max;
    const char* preview;
  };
  const Case cases[] = {
      {Numbers<int>({1, 2, 3, 4}, DataTypeInt32::GetInstance(), 2), 1000,
       "numbers 2 x 2 (int) [16 bytes]\n1, 2, \n3, 4, \n"},
      {Numbers<int>({1, 2, 3, 4}, DataTypeInt32::GetInstance(), 2), 3,
       "numbers 2 x 2 (int) [16 bytes]\n1, 2, \n..."},
      {Numbers<short>({-1}, DataTypeShort::GetInstance()), 10,
       "numbers 1 x 1 (short) [2 bytes]\n65535, \n"},
      {Numbers<std::int8_t>({-1}, DataTypeByte::GetInstance()), 10,
       "numbers 1 x 1 (byte) [1 bytes]\n255, \n"},
      {Numbers<float>({0.5f, 1e10f}, DataTypeFloat::GetInstance(), 2), 10,
       "numbers 2 x 1 (float) [8 bytes]\n0.5, 1e+10, \n"},
      {Numbers<long long>({-5, 6, 7, 8, 9, 10}, DataTypeInt64::GetInstance(), 2), 5,
       "numbers 2 x 3 (long) [48 bytes]\n-5, 6, \n7, 8, \n..."},
      {Numbers<long long>({-5, 6, 7, 8, 9, 10}, DataTypeInt64::GetInstance(), 2), 6,
       "numbers 2 x 3 (long) [48 bytes]\n-5, 6, \n7, 8, \n9, 10, \n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.numbers->Preview(c.max), c.preview);
}

// Block lengths 0 and below, and the element size 0 of a reset object, must not divide by
// zero: they count as no blocks and no elements.
TEST(PortDataNumbersTest, BlockLengthsAndResetObjectsNeverDivideByZero) {
  struct Case {
    int block_length;
    size_t blocks;
    const char* description;
  };
  const Case cases[] = {
      {-1, 0, "numbers -1 x 0 (int) [28 bytes]"},
      {0, 0, "numbers 0 x 0 (int) [28 bytes]"},
      {1, 7, "numbers 1 x 7 (int) [28 bytes]"},
      {3, 2, "numbers 3 x 2 (int) [28 bytes]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.block_length);
    auto numbers =
        Numbers<int>({1, 2, 3, 4, 5, 6, 7}, DataTypeInt32::GetInstance(), c.block_length);
    EXPECT_EQ(numbers->GetBlockCount(), c.blocks);
    EXPECT_EQ(numbers->ToString(), c.description);
    EXPECT_EQ(numbers->Preview(100).rfind(c.description, 0), 0u);
  }

  auto numbers = Numbers<int>({1, 2}, DataTypeInt32::GetInstance(), 0);
  EXPECT_EQ(numbers->Preview(100), "numbers 0 x 0 (int) [8 bytes]\n");
  numbers->ResetData();
  EXPECT_EQ(numbers->GetElementSizeBytes(), 0);
  EXPECT_EQ(numbers->GetLength(), 0u);
  EXPECT_EQ(numbers->ToString(), "numbers 0 x 0 () [0 bytes]");
  EXPECT_EQ(numbers->Preview(10), "numbers 0 x 0 () [0 bytes]\n");
  auto copy = numbers->ConvertTo(DataTypeInt32::GetInstance());
  EXPECT_EQ(copy->GetSize(), 0u);
}

TEST(PortDataNumbersTest, ElementSizesAndUnknownTypes) {
  testing::CapturingLogger log;
  PortDataNumbers numbers;
  EXPECT_EQ(numbers.GetElementSizeBytes(DataTypeInt64::GetInstance()), 8);
  EXPECT_EQ(numbers.GetElementSizeBytes(DataTypeFloat::GetInstance()), 4);
  EXPECT_EQ(numbers.GetElementSizeBytes(DataTypeStr::GetInstance()), 0);
  EXPECT_EQ(log.Text(), "[error] Undefined element size, unknown element type\n");
}

}  // namespace
}  // namespace zelph
