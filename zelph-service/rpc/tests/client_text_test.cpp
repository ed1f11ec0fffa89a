// client_text_test.cpp
//
// Client text quoted in statuses and logs: cut at 256 bytes, never inside a UTF-8 character.
#include "zelph/rpc/client_text.h"

#include <gtest/gtest.h>

#include <string>

namespace zelph::rpc {
namespace {

TEST(ClientTextTest, QuotesAtMost256BytesOnCharacterBoundaries) {
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
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(QuoteClientText(c.text), c.quoted);
  }
}

}  // namespace
}  // namespace zelph::rpc
