// cached_data_bytes.cpp
#include "cached_data_bytes.h"

#include <memory>
#include <string>

#include "zelph/projects/project.h"
#include "zelph/projects/service_cache.h"
#include "zelph/projects/session.h"
#include "zelph/rpc/any_data_conversion.h"

namespace zelph::rpc {

std::uint64_t CachedDataBytes(const zelph::Project& project) {
  std::uint64_t bytes = 0;
  project.GetServiceCache().ForEach([&](const std::string&, const DataEx& entry) {
    if (entry.data) bytes += AnyDataBytesBound(*entry.data);
  });
  return bytes;
}

std::uint64_t CachedDataBytes(zelph::Session& session) {
  std::uint64_t bytes = 0;
  session.ForEachProject(
      [&](const std::shared_ptr<zelph::Project>& project) { bytes += CachedDataBytes(*project); });
  return bytes;
}

}  // namespace zelph::rpc
