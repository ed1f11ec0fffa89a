// url_safe_id.h
//
// Session and project ids are segments of object URLs ("/session:{s}/project:{p}"). An id
// holding '/' or ':' would end its segment early and one holding NUL is cut by every C
// string on its way, so no URL could name the object: it could be listed but never used or
// removed. Such ids are refused when the object is created.
#pragma once

#include <string>
#include <string_view>

namespace zelph {

// Empty when `id` can be a URL segment; otherwise the refusal "{kind} id contains '{c}'",
// naming the first such character as QuoteClientText writes it ('/', ':' or '\0').
std::string UrlSegmentRefusal(std::string_view kind, std::string_view id);

}  // namespace zelph
