// handler_text_test.cpp
//
// Property value texts, splitting of ids and object status names.
#include "zelph/rpc/handler_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(HandlerTextTest, PropertyValuesAsClientsReadThem) {
  struct Case {
    PropertyVariant value;
    std::string text;
  };
  const Case kCases[] = {
      {true, "1"},
      {false, "0"},
      {2.5, "2.500000"},
      {-3, "-3"},
      {LLONG_MIN, "-9223372036854775808"},
      {std::string("text"), "text"},
      {std::string(), ""},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(PropertyValueToText(c.value), c.text) << "alternative " << c.value.index();
  }
}

TEST(HandlerTextTest, SplitKeepsEmptyPieces) {
  struct Case {
    std::string text;
    std::string delimiter;
    std::vector<std::string> pieces;
  };
  const Case kCases[] = {
      {"a,,b", ",", {"a", "", "b"}},
      {"a,", ",", {"a", ""}},
      {",a", ",", {"", "a"}},
      {"", ",", {""}},
      {"abc", ",", {"abc"}},
      {"w1\\name", "\\", {"w1", "name"}},
      {"a::b::", "::", {"a", "b", ""}},
      {"a:::b", "::", {"a", ":b"}},
      {"a,b", "", {"a,b"}},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(SplitString(c.text, c.delimiter), c.pieces)
        << "'" << c.text << "' at '" << c.delimiter << "'";
  }
}

TEST(HandlerTextTest, ExecutionStatusNames) {
  EXPECT_EQ(ExecutionStatusName(1), "queue");
  EXPECT_EQ(ExecutionStatusName(2), "executing");
  EXPECT_EQ(ExecutionStatusName(3), "ready");
  for (int other : {0, 4, -1, INT_MAX}) EXPECT_EQ(ExecutionStatusName(other), "undefined");
}

}  // namespace
