// text_cut.h
//
// Shortening texts that leave the service (statistic documents, previews, log lines that
// quote client input) without splitting a UTF-8 character: clients read these texts as
// UTF-8 strings, and a strict reader refuses a message whose string ends in half a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zelph {

// The longest prefix of `text` of at most `max_bytes` bytes that ends on a character
// boundary. A text that is not UTF-8 is cut as if it were.
std::string_view CharacterPrefix(std::string_view text, std::size_t max_bytes);

// `text` itself when it has at most `max_bytes` bytes; otherwise its CharacterPrefix of at
// most `max_bytes` - 3 bytes followed by "...".
std::string CutText(std::string_view text, std::size_t max_bytes);

}  // namespace zelph
