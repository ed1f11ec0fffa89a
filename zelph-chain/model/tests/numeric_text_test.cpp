// numeric_text_test.cpp
//
// Number parsing with the system's error texts, and conversions defined for every input.
#include "zelph/model/numeric_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace zelph::text {
namespace {

// Runs `parse` and gives "value:<v>" or "error:<what()>".
template <typename Parse>
std::string Outcome(Parse parse, const std::string& input) {
  try {
    return "value:" + std::to_string(parse(input));
  } catch (const std::invalid_argument& e) {
    return std::string("invalid:") + e.what();
  } catch (const std::out_of_range& e) {
    return std::string("range:") + e.what();
  }
}

TEST(NumericTextTest, StoFunctionsKeepStandardSemanticsWithSystemTexts) {
  struct Case {
    const char* text;
    const char* int32;
    const char* int64;
    const char* dbl;
  };
  const Case cases[] = {
      {" 42abc", "value:42", "value:42", "value:42.000000"},
      {"3.9", "value:3", "value:3", "value:3.900000"},
      {"-7", "value:-7", "value:-7", "value:-7.000000"},
      {"2147483648", "range:stoi argument out of range", "value:2147483648",
       "value:2147483648.000000"},
      {"99999999999999999999", "range:stoi argument out of range",
       "range:stoll argument out of range", "value:100000000000000000000.000000"},
      {"abc", "invalid:invalid stoi argument", "invalid:invalid stoll argument",
       "invalid:invalid stod argument"},
      {"", "invalid:invalid stoi argument", "invalid:invalid stoll argument",
       "invalid:invalid stod argument"},
      {"1e400", "value:1", "value:1", "range:stod argument out of range"},
      {"0x10", "value:0", "value:0", "value:16.000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Outcome(StoI, c.text), c.int32);
    EXPECT_EQ(Outcome(StoLL, c.text), c.int64);
    EXPECT_EQ(Outcome(StoD, c.text), c.dbl);
  }
  EXPECT_TRUE(std::isnan(StoD("nan")));
}

TEST(NumericTextTest, AtoFunctionsNeverFailAndSaturate) {
  struct Case {
    const char* text;
    int int32;
    long long int64;
    double dbl;
  };
  const Case cases[] = {
      {" 42x", 42, 42, 42.0},
      {"letters", 0, 0, 0.0},
      {"4294967297", INT_MAX, 4294967297LL, 4294967297.0},
      {"-99999999999999999999", INT_MIN, LLONG_MIN, -1e20},
      {nullptr, 0, 0, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    EXPECT_EQ(AtoI(c.text), c.int32);
    EXPECT_EQ(AtoLL(c.text), c.int64);
    EXPECT_DOUBLE_EQ(AtoF(c.text), c.dbl);
  }
}

TEST(NumericTextTest, TruncationIsDefinedForNanAndOutOfRange) {
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    double value;
    int int32;
    long long int64;
  };
  const Case cases[] = {
      {-3.9, -3, -3},
      {2.7, 2, 2},
      {2147483647.9, INT_MAX, 2147483647},
      {-2147483648.9, INT_MIN, -2147483648LL},
      {2147483648.0, INT_MIN, 2147483648LL},
      {1e300, INT_MIN, LLONG_MIN},
      {-1e300, INT_MIN, LLONG_MIN},
      {9223372036854775808.0, INT_MIN, LLONG_MIN},
      {kNan, INT_MIN, LLONG_MIN},
      {kInf, INT_MIN, LLONG_MIN},
      {-kInf, INT_MIN, LLONG_MIN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(TruncateToInt32(c.value), c.int32);
    EXPECT_EQ(TruncateToInt64(c.value), c.int64);
  }
}

}  // namespace
}  // namespace zelph::text
