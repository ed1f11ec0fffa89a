// utf8.cpp
//
// Strict UTF-8 validation after the well-formed byte sequences of the Unicode standard
// (table 3-7): the second byte's range depends on the first, which rules out overlong
// forms, surrogates and code points above U+10FFFF without decoding.
#include "zelph/platform/utf8.h"

namespace zelph::sys {
namespace {

struct Lead {
  unsigned char length;      // bytes in the sequence, 0 for a byte that cannot lead
  unsigned char second_low;  // allowed range of the second byte
  unsigned char second_high;
};

Lead LeadOf(unsigned char byte) {
  if (byte < 0x80) return {1, 0, 0};
  if (byte < 0xC2) return {0, 0, 0};
  if (byte < 0xE0) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte < 0xF0) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte < 0xF4) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

bool InRange(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

}  // namespace

std::size_t FindInvalidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const Lead lead = LeadOf(static_cast<unsigned char>(text[i]));
    if (lead.length == 0) return i;
    if (lead.length > 1) {
      if (text.size() - i < lead.length) return i;
      if (!InRange(static_cast<unsigned char>(text[i + 1]), lead.second_low, lead.second_high)) {
        return i;
      }
      for (std::size_t k = 2; k < lead.length; ++k) {
        if (!InRange(static_cast<unsigned char>(text[i + k]), 0x80, 0xBF)) return i;
      }
    }
    i += lead.length;
  }
  return kValidUtf8;
}

}  // namespace zelph::sys
