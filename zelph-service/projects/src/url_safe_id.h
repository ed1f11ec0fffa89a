// url_safe_id.h
//
// Session and project ids are segments of object URLs ("/session:{s}/project:{p}"). An id
// holding '/' or ':' would end its segment early and one holding NUL is cut by every C
// string on its way, so no URL could name the object: it could be listed but never used or
// removed. Such ids are refused when the object is created, and so are ids longer than
// kMaxIdBytes: every listing of sessions or projects repeats each id, and one client's
// megabyte ids would make everyone's listing too large to answer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zelph {

inline constexpr std::size_t kMaxIdBytes = 1024;

// Empty when `id` can be a URL segment; otherwise the refusal "{kind} id contains '{c}'",
// naming the first such character as QuoteClientText writes it ('/', ':' or '\0'), or
// "{kind} id is longer than 1024 bytes".
std::string UrlSegmentRefusal(std::string_view kind, std::string_view id);

}  // namespace zelph
