// cache_key.cpp
//
// The project cache key of an object URL.
#include "zelph/rpc/cache_key.h"

#include <optional>

#include "zelph/rpc/object_url.h"

namespace zelph::rpc {

std::string CacheKeyOf(const ObjectUrl& url) {
  const std::optional<ObjectUrlNode> deepest = url.GetMatchedNode();
  if (!deepest) return {};
  std::string key = deepest->BuildUrl();
  const std::string project = url.Node(UrlPlace::kProject).BuildUrl();
  // A URL that stopped above its project keys nothing; every other one extends the project's
  // own URL, whose node is on its matched chain.
  if (key.size() <= project.size() || !key.starts_with(project)) return {};
  return key.substr(project.size());
}

}  // namespace zelph::rpc
