// client_text.h
//
// Client text inside status messages and log lines. A reply that quotes the request (a URL,
// an id, a value) quotes at most its first kMaxQuotedClientBytes bytes followed by "...", so
// no reply carries a megabyte of the request back (gRPC clients refuse large status
// metadata) and no log line grows with a client's input.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zelph::rpc {

inline constexpr size_t kMaxQuotedClientBytes = 256;

// `text` itself when it has at most kMaxQuotedClientBytes bytes; otherwise its first bytes
// up to that limit, shortened further to the start of a UTF-8 character that the limit
// would split, followed by "...".
std::string QuoteClientText(std::string_view text);

}  // namespace zelph::rpc
