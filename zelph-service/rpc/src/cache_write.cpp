// cache_write.cpp
//
// SetData's write into the project cache.
#include "cache_write.h"

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/port_data.h"
#include "zelph/projects/project.h"
#include "zelph/rpc/any_data_conversion.h"

grpc::Status StoreAnyDataInCache(const std::string& key,
                                 const std::shared_ptr<zelph::Project>& project,
                                 zelph::SetDataRequest& request) {
  if (request.data().url().empty()) {
    return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "Data id required");
  }
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Setting cache data, resource_url={}, url={}",
            zelph::QuoteClientText(key), zelph::QuoteClientText(request.url()));
  std::shared_ptr<IPortData> data;
  if (grpc::Status status = PortDataFromAnyData(*request.mutable_data(), data); !status.ok())
    return status;
  project->SetCache(key, std::move(data));
  return grpc::Status::OK;
}
