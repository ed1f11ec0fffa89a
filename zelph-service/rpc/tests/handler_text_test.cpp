// handler_text_test.cpp
//
// Property value texts.
#include "zelph/rpc/handler_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

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

}  // namespace
