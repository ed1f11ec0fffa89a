// client_text.h
//
// Text that reaches a log line or a status message from outside the server: a client's URL,
// id, path or value, or a chain text a client uploaded. QuoteClientText makes it safe to
// place there: control characters become visible escapes, so no client text can start a
// log line of its own or end a C string early, and at most kMaxQuotedClientBytes bytes are
// kept, so no reply carries a megabyte of the request back (gRPC clients refuse large
// status metadata) and no log line grows with a client's input.
//
// The same cut, without the escapes, shortens texts that leave the service as data
// (statistic documents, previews): clients read them as UTF-8 strings, and a strict reader
// refuses a message whose string ends in half a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "zelph/logger/export.h"

namespace zelph {

inline constexpr std::size_t kMaxQuotedClientBytes = 256;

// `text` with "\n", "\r" and NUL written as \n, \r and \0, every other control character
// (below 0x20, and DEL) as \xNN, the C1 controls U+0080 to U+009F and the separators U+2028
// and U+2029 as \uNNNN; the rest is kept byte for byte. When the escaped text has
// more than kMaxQuotedClientBytes bytes, the longest prefix of at most that many bytes that
// splits neither an escape nor a UTF-8 character, followed by "...". Texts without control
// characters and of at most kMaxQuotedClientBytes bytes come back unchanged.
ZELPH_LOGGER_API std::string QuoteClientText(std::string_view text);

// The longest prefix of `text` of at most `max_bytes` bytes that does not end inside a UTF-8
// character. A text that is not UTF-8 is cut at `max_bytes`.
ZELPH_LOGGER_API std::string_view CharacterPrefix(std::string_view text, std::size_t max_bytes);

// `text` itself when it has at most `max_bytes` bytes; otherwise its CharacterPrefix of at
// most `max_bytes` - 3 bytes followed by "...".
ZELPH_LOGGER_API std::string CutText(std::string_view text, std::size_t max_bytes);

}  // namespace zelph
