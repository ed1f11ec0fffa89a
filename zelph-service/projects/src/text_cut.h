// text_cut.h
//
// Shortening texts that leave the service (statistic documents, log lines that quote client
// input) without splitting a UTF-8 character: clients read these texts as UTF-8 strings,
// and a strict reader refuses a message whose string ends in half a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zelph {

// `text` itself when it has at most `max_bytes` bytes; otherwise its longest prefix of at
// most `max_bytes` - 3 bytes that ends on a character boundary, followed by "...". A text
// that is not UTF-8 is cut as if it were.
std::string CutText(std::string_view text, std::size_t max_bytes);

}  // namespace zelph
