// cache_key.cpp
//
// The project cache key of an object URL.
#include "zelph/rpc/cache_key.h"

#include <memory>
#include <optional>
#include <stdexcept>

#include "zelph/model/data_process.h"
#include "zelph/projects/project.h"
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

std::optional<DataEx> FindCacheEntry(const zelph::Project& project, const ObjectUrl& url) {
  const std::string key = CacheKeyOf(url);
  std::optional<DataEx> entry = project.GetServiceCache().Find(key);
  const std::string worker_prefix = url.Node(UrlPlace::kWorker).BuildUrl();
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  // Only a key below a worker segment has a worker to resolve.
  if (entry || !worker_prefix.starts_with(project_url)) return entry;
  const std::string worker_part = worker_prefix.substr(project_url.size());  // "/worker:{w}"
  if (worker_part.size() <= std::string_view("/worker:").size() || !key.starts_with(worker_part) ||
      key.size() == worker_part.size()) {
    return entry;
  }
  std::shared_ptr<IDataProcess> worker;
  try {
    worker = project.GetWorker(std::string(url.Node(UrlPlace::kWorker).GetId()));
  } catch (const std::runtime_error&) {
    return entry;  // no such worker: the missing entry stays missing
  }
  if (worker->GetId() == url.Node(UrlPlace::kWorker).GetId()) return entry;
  return project.GetServiceCache().Find("/worker:" + worker->GetId() +
                                        key.substr(worker_part.size()));
}

}  // namespace zelph::rpc
