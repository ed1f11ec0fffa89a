// client_text.cpp
//
// Escaping and UTF-8-aware shortening of client text.
#include "zelph/logger/client_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>

namespace zelph {
namespace {

constexpr std::string_view kEllipsis = "...";

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool IsControlCharacter(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// The code point of a C1 control character (U+0080 to U+009F, NEL among them) or of the line
// and paragraph separators (U+2028, U+2029) that `character` encodes, 0 for any other: log
// readers take several of them for line ends, and terminals act on C1 controls.
char32_t UnicodeControlOf(std::string_view character) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(character[i]); };
  if (character.size() == 2 && byte(0) == 0xC2 && byte(1) <= 0x9F) return byte(1);
  if (character.size() == 3 && byte(0) == 0xE2 && byte(1) == 0x80 &&
      (byte(2) == 0xA8 || byte(2) == 0xA9)) {
    return 0x2000 + (byte(2) - 0x80);
  }
  return 0;
}

// The bytes of the character that starts at `at`: a lead byte and the continuation bytes
// that follow it, as many as the lead announces. A byte that leads nothing is one unit, so a
// text that is not UTF-8 is taken byte by byte.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t announced = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  std::size_t length = 1;
  while (length < announced && at + length < text.size() &&
         IsContinuationByte(static_cast<unsigned char>(text[at + length]))) {
    ++length;
  }
  return length;
}

void AppendEscaped(unsigned char byte, std::string& out) {
  switch (byte) {
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\0':
      out += "\\0";
      break;
    default:
      fmt::format_to(std::back_inserter(out), "\\x{:02X}", byte);
  }
}

}  // namespace

std::string QuoteClientText(std::string_view text) {
  std::string quoted;
  quoted.reserve(std::min(text.size(), kMaxQuotedClientBytes) + kEllipsis.size());
  std::string escape;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const bool control = IsControlCharacter(byte);
    const std::size_t consumed = control ? 1 : CharacterLength(text, at);
    const std::string_view character = text.substr(at, consumed);
    const char32_t unicode_control = control ? 0 : UnicodeControlOf(character);
    escape.clear();
    if (control) AppendEscaped(byte, escape);
    if (unicode_control != 0) {
      fmt::format_to(std::back_inserter(escape), "\\u{:04X}",
                     static_cast<unsigned>(unicode_control));
    }
    const std::string_view piece = escape.empty() ? character : std::string_view(escape);
    if (quoted.size() + piece.size() > kMaxQuotedClientBytes) {
      quoted += kEllipsis;
      break;
    }
    quoted += piece;
    at += consumed;
  }
  return quoted;
}

std::string_view CharacterPrefix(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t length = CharacterLength(text, end);
    if (end + length > max_bytes) break;
    end += length;
  }
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
