// preview_value_test.cpp
//
// The preview entry's value by the class of the data: number texts cut at 1000 elements,
// scalar texts cut at 500 bytes without splitting a character, a JPEG for a matrix, an
// empty value for missing or uninitialised data, and nothing for data of another class.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "port_data_builders.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/preview_value.h"

namespace zelph::testing {
namespace {

std::string PreviewText(const std::shared_ptr<IPortData>& data) {
  const auto value = MakePreviewValue(data, false);
  if (!value) {
    ADD_FAILURE() << "no preview value";
    return {};
  }
  const auto* scalar = dynamic_cast<const PortDataScalar*>(value->get());
  if (scalar == nullptr) {
    ADD_FAILURE() << "the preview is not a scalar";
    return {};
  }
  return scalar->GetStr();
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(PreviewValueTest, NumberTextsStopAtTheirLimit) {
  struct Case {
    std::size_t elements;
    int block_length;
    std::size_t shown_values;
    bool cut;
  };
  const Case kCases[] = {
      {1500, 1, 1000, true}, {1000, 1, 1000, false},
      {999, 1, 999, false},  {1500, 3, 999, true},  // whole blocks only
      {12, 4, 12, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.elements << " elements in blocks of " << c.block_length);
    std::vector<std::int32_t> values(c.elements);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<std::int32_t>(i);
    const std::string text =
        PreviewText(MakeNumbers(DataTypeInt32::GetInstance(), Bytes(values), c.block_length));
    EXPECT_EQ(Count(text, ", "), c.shown_values);
    EXPECT_EQ(text.ends_with("..."), c.cut);
    EXPECT_NE(text.find(std::to_string(c.shown_values - 1) + ", "), std::string::npos);
    EXPECT_EQ(text.find(std::to_string(c.shown_values) + ", "), std::string::npos);
  }
}

TEST(PreviewValueTest, ScalarTextsStopAtTheirLimitOnACharacterBoundary) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  const std::string a500(500, 'a');
  const std::string a499(499, 'a');
  const std::string a498(498, 'a');
  const Case kCases[] = {
      {"empty", "", ""},
      {"at the limit", a500, a500},
      {"one byte over", a500 + "b", a500 + "..."},
      {"a character across the limit", a499 + "\xC3\xA9" + "x", a499 + "..."},
      {"a character ending at the limit", a498 + "\xC3\xA9", a498 + "\xC3\xA9"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PreviewText(std::make_shared<PortDataScalar>(c.text)), c.expected);
  }
}

TEST(PreviewValueTest, MatricesGiveAJpeg) {
  const auto value = MakePreviewValue(MakeMat(kDepth8U, 3, std::vector<char>(300, 9), 100), true);
  ASSERT_TRUE(value);
  const auto* preview = dynamic_cast<const PortDataMat*>(value->get());
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->GetEncoded(), "jpeg");
  EXPECT_EQ(preview->GetWidth(), 100U);
  EXPECT_EQ(preview->GetHeight(), 1U);
}

// Port data of a class the previews do not know.
class OtherData : public PortData {
 public:
  OtherData() : PortData(DataTypeBool::GetInstance()) { SetInitialized(true); }
  void ResetData() override {}
};

TEST(PreviewValueTest, EmptyValueOrNothing) {
  const auto no_data = MakePreviewValue(nullptr, false);
  ASSERT_TRUE(no_data);
  EXPECT_EQ(*no_data, nullptr);

  const auto uninitialised = MakePreviewValue(std::make_shared<PortDataScalar>(), false);
  ASSERT_TRUE(uninitialised);
  EXPECT_EQ(*uninitialised, nullptr);

  // A matrix that makes no image still empties the entry.
  const auto no_image = MakePreviewValue(MakeMat(kDepth8U, 2, std::vector<char>(8, 1), 4), false);
  ASSERT_TRUE(no_image);
  EXPECT_EQ(*no_image, nullptr);

  EXPECT_FALSE(MakePreviewValue(std::make_shared<OtherData>(), false));
}

}  // namespace
}  // namespace zelph::testing
