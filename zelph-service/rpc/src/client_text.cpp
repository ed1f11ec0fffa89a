// client_text.cpp
//
// Shortening of quoted client text.
#include "zelph/rpc/client_text.h"

namespace zelph::rpc {

namespace {

bool IsUtf8Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

std::string QuoteClientText(std::string_view text) {
  if (text.size() <= kMaxQuotedClientBytes) return std::string(text);
  size_t end = kMaxQuotedClientBytes;
  // A UTF-8 character is at most four bytes, so at most three continuation bytes are given
  // up; text that is not UTF-8 at all is cut at the limit.
  for (size_t back = 0; back < 3 && end > 0 && IsUtf8Continuation(text[end]); ++back) --end;
  if (IsUtf8Continuation(text[end])) end = kMaxQuotedClientBytes;
  std::string quoted(text.substr(0, end));
  quoted += "...";
  return quoted;
}

}  // namespace zelph::rpc
