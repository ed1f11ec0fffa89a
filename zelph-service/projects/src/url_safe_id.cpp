// url_safe_id.cpp
//
// The refusal of ids that no object URL can name.
#include "url_safe_id.h"

#include <fmt/format.h>

#include "zelph/logger/client_text.h"

namespace zelph {

std::string UrlSegmentRefusal(std::string_view kind, std::string_view id) {
  constexpr std::string_view kUnnamable("/:\0", 3);
  if (id.size() > kMaxIdBytes)
    return fmt::format("{} id is longer than {} bytes", kind, kMaxIdBytes);
  const std::size_t at = id.find_first_of(kUnnamable);
  if (at == std::string_view::npos) return {};
  return fmt::format("{} id contains '{}'", kind, QuoteClientText(id.substr(at, 1)));
}

}  // namespace zelph
