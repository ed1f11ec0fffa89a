// numeric_text.h
//
// Number parsing and float-to-integer conversions with a defined result for every input.
// The Sto* functions keep the semantics of std::stoi/stoll/stod (leading white space, sign,
// longest number prefix, rest ignored) but throw with the texts that reach logs and API
// replies ("invalid stoi argument", "stoi argument out of range", ...). The Ato* functions
// never fail: no number gives 0, and out-of-range values saturate instead of being
// undefined. The Truncate* functions give INT_MIN / INT64_MIN for NaN and values outside
// the target range, the result the x86-64 conversion instructions produce.
#pragma once

#include <string>

#include "zelph/chain/export.h"

namespace zelph::text {

// Throw std::invalid_argument or std::out_of_range.
ZELPH_CHAIN_API int StoI(const std::string& text);
ZELPH_CHAIN_API long long StoLL(const std::string& text);
ZELPH_CHAIN_API double StoD(const std::string& text);

// C atoi/atoll/atof without undefined behaviour: AtoI parses 64 bits and clamps to the int
// range; AtoLL saturates at the long long range. A null text gives 0.
ZELPH_CHAIN_API int AtoI(const char* text);
ZELPH_CHAIN_API long long AtoLL(const char* text);
ZELPH_CHAIN_API double AtoF(const char* text);

// Truncation toward zero; NaN and values outside the range give the range's minimum.
inline int TruncateToInt32(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return -2147483647 - 1;
  return static_cast<int>(value);
}
inline long long TruncateToInt64(double value) {
  // 2^63 is exact in a double; every double below it converts.
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) {
    return -9223372036854775807LL - 1;
  }
  return static_cast<long long>(value);
}

}  // namespace zelph::text
