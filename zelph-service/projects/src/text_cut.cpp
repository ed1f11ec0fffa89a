// text_cut.cpp
//
// UTF-8-aware shortening of texts.
#include "text_cut.h"

namespace zelph {
namespace {

constexpr std::string_view kEllipsis = "...";

// A byte that continues a multi-byte character (10xxxxxx).
bool IsContinuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

std::string_view CharacterPrefix(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t end = max_bytes;
  // Cutting before a continuation byte would leave its character's first bytes behind.
  while (end > 0 && IsContinuationByte(text[end])) --end;
  return text.substr(0, end);
}

std::string CutText(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return std::string(text);
  std::string cut(
      CharacterPrefix(text, max_bytes > kEllipsis.size() ? max_bytes - kEllipsis.size() : 0));
  cut += kEllipsis;
  return cut;
}

}  // namespace zelph
