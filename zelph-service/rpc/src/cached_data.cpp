// cached_data.cpp
//
// GetData of the project cache: the entry under the URL's cache key, as a number block,
// scalar text, matrix or text value, stamped with the time it was stored.
#include <memory>
#include <string>

#include "zelph/projects/project.h"
#include "zelph/projects/service_cache.h"
#include "zelph/rpc/any_data_conversion.h"
#include "zelph/rpc/cache_key.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"

// The entry is a copy whose reference keeps the port data alive while it is converted, even
// when a run replaces the entry meanwhile; the project lock is taken only to resolve a
// worker's system name when the URL's own key is missing (cache_key.h). A missing entry reads as
// an element stamped 0 without a value. The entry's bytes are counted before its element is
// made: a matrix named many times would otherwise be copied many times before the count of
// the whole reply refused it.
grpc::Status ZelphServiceV2Impl::GetCachedData(const ObjectUrl& url,
                                               zelph::GetDataResponse& response,
                                               zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  // The configuration is read as a document of its own (GetProjectConfiguration).
  if (url.GetPath() == "/session/project/config") return grpc::Status::OK;
  DataEx entry = project->GetCache(zelph::rpc::CacheKeyOf(url));
  if (!entry.data && entry.modified == 0) {
    entry = zelph::rpc::FindCacheEntry(*project, url).value_or(DataEx());
  }
  if (entry.data) {
    if (grpc::Status status = reply.Reserve(AnyDataBytesBound(*entry.data) + url.GetUrl().size());
        !status.ok()) {
      return status;
    }
  }
  zelph::GAnyData* element = response.add_data();
  element->set_url(url.GetUrl());
  element->set_modified(entry.modified);
  if (!entry.data) return grpc::Status::OK;
  return PortDataToAnyData(*entry.data, *element);
}
