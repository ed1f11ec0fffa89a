// client_text_test.cpp
//
// Client text quoted in statuses and logs: control characters escaped, cut at 256 bytes,
// never inside an escape or a UTF-8 character; and the plain cut of texts sent as data.
#include "zelph/logger/client_text.h"

#include <gtest/gtest.h>

#include <string>

namespace zelph {
namespace {

using namespace std::string_literals;

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

TEST(ClientTextTest, QuotesAtMost256BytesWithControlCharactersEscaped) {
  const std::string a255(255, 'a');
  const std::string euro = "\xE2\x82\xAC";       // 3 bytes
  const std::string emoji = "\xF0\x9F\x98\x80";  // 4 bytes
  struct Case {
    const char* name;
    std::string text;
    std::string quoted;
  };
  const Case kCases[] = {
      {"empty", "", ""},
      {"short", "/session:s", "/session:s"},
      {"ordinary punctuation and backslashes stay", R"(C:\dir\a b.json 'x' "y")",
       R"(C:\dir\a b.json 'x' "y")"},
      {"exactly the limit", std::string(256, 'x'), std::string(256, 'x')},
      {"one byte over", std::string(257, 'x'), std::string(256, 'x') + "..."},
      {"megabyte", std::string(1 << 20, 'x'), std::string(256, 'x') + "..."},
      {"character ends at the limit", a255 + "\xC3\xA9" + "tail", a255 + "..."},
      {"3-byte character across the limit", std::string(254, 'a') + euro + "b",
       std::string(254, 'a') + "..."},
      {"4-byte character across the limit", a255 + emoji + "b", a255 + "..."},
      {"4-byte character ends at the limit", std::string(252, 'a') + emoji + "b",
       std::string(252, 'a') + emoji + "..."},
      {"not UTF-8: cut at the limit", std::string(300, '\x80'), std::string(256, '\x80') + "..."},
      {"forged log line", "d\n[2026-12-11 05:00:00.000] [critical] Server compromised",
       R"(d\n[2026-12-11 05:00:00.000] [critical] Server compromised)"},
      {"carriage return", "a\r\nb", R"(a\r\nb)"},
      {"NUL keeps what follows", "path\0/rest"s, R"(path\0/rest)"},
      {"other C0 and DEL as hex", "\x01\t\x1B[31m\x1F\x7F", R"(\x01\x09\x1B[31m\x1F\x7F)"},
      {"UTF-8 kept around escapes", euro + "\n" + emoji, euro + R"(\n)" + emoji},
      {"escapes count towards the limit", std::string(200, '\n'), Repeated("\\n", 128) + "..."},
      {"an escape is never split", std::string(254, 'a') + "\x01", std::string(254, 'a') + "..."},
      {"next line, C1 controls and separators as code points",
       "a\xC2\x85"
       "b\xC2\x80\xC2\x9F\xE2\x80\xA8\xE2\x80\xA9"
       "c",
       R"(a\u0085b\u0080\u009F\u2028\u2029c)"},
      {"neighbours of the escaped characters stay", "\xC2\xA0\xE2\x80\xA7\xE2\x80\xAA",
       "\xC2\xA0\xE2\x80\xA7\xE2\x80\xAA"},
      {"a unicode escape is never split", std::string(251, 'a') + "\xE2\x80\xA8",
       std::string(251, 'a') + "..."},
      {"escape ends at the limit", std::string(252, 'a') + "\x01", std::string(252, 'a') + "\\x01"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string quoted = QuoteClientText(c.text);
    EXPECT_EQ(quoted, c.quoted);
    EXPECT_LE(quoted.size(), kMaxQuotedClientBytes + 3);
  }
}

TEST(ClientTextTest, CutsDataTextsOnCharacterBoundaries) {
  const std::string euro = "\xE2\x82\xAC";
  struct Case {
    const char* name;
    std::string text;
    std::size_t max_bytes;
    std::string prefix;
    std::string cut;
  };
  const Case kCases[] = {
      {"fits", "abc", 3, "abc", "abc"},
      {"ASCII over", "abcdef", 5, "abcde", "ab..."},
      {"character across the limit", "ab" + euro + "cdef", 4, "ab", "a..."},
      {"character ends at the limit", "ab" + euro + "cdefg", 5, "ab" + euro, "ab..."},
      {"control characters are data here", "a\nb\0c"s, 4, "a\nb\0"s, "a..."},
      {"not UTF-8", std::string(10, '\x80'), 6, std::string(6, '\x80'), "\x80\x80\x80..."},
      {"stray continuation after ASCII", "abc\x80\x80xyz", 4, "abc\x80", "a..."},
      {"limit below the ellipsis", "abcdef", 2, "ab", "..."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CharacterPrefix(c.text, c.max_bytes), c.prefix);
    EXPECT_EQ(CutText(c.text, c.max_bytes), c.cut);
  }
}

}  // namespace
}  // namespace zelph
