#include "zelph/platform/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zelph::sys::FindInvalidUtf8;
using zelph::sys::kValidUtf8;

TEST(Utf8Test, FindsTheFirstByteOfEveryIllFormedSequence) {
  struct Case {
    std::string text;
    size_t invalid_at;
  };
  const Case kCases[] = {
      {"", kValidUtf8},
      {"/opt/zelph/bin", kValidUtf8},
      {"/opt/caf\xC3\xA9/\xE2\x82\xAC/\xF0\x9F\x98\x80", kValidUtf8},  // 2, 3 and 4 bytes
      {"\xF4\x8F\xBF\xBF", kValidUtf8},                                // U+10FFFF
      {"\xED\x9F\xBF", kValidUtf8},                                    // U+D7FF
      {"/opt/\xFF", 5},                                                // never a UTF-8 byte
      {"ab\x80", 2},                                                   // lone continuation
      {"\xC0\xAF", 0},                                                 // overlong '/'
      {"\xE0\x80\xAF", 0},                                             // overlong, 3 bytes
      {"\xF0\x80\x80\xAF", 0},                                         // overlong, 4 bytes
      {"\xED\xA0\x80", 0},                                             // surrogate U+D800
      {"\xF4\x90\x80\x80", 0},                                         // above U+10FFFF
      {"x\xE2\x82", 1},                                                // cut short
      {"\xC3(", 0},                                                    // bad continuation
      {std::string("a\0b", 3), kValidUtf8},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(FindInvalidUtf8(c.text), c.invalid_at) << c.text;
  }
}

}  // namespace
