// split_string_test.cpp
//
// Splitting at a delimiter text: empty pieces, delimiters of several characters, overlaps.
#include "zelph/config/split_string.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SplitStringTest, EmptyPiecesStay) {
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
    EXPECT_EQ(zelph::SplitString(c.text, c.delimiter), c.pieces)
        << "'" << c.text << "' at '" << c.delimiter << "'";
  }
}

}  // namespace
