// set_data.cpp
//
// SetData: one value from a client into a worker property or system property, a chain
// property, a control of the project configuration, the whole configuration, or the
// project cache.
#include <fmt/format.h>

#include <memory>
#include <string>

#include "cache_write.h"
#include "handler_frame.h"
#include "zelph/chain/exception.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port_data.h"
#include "zelph/projects/project.h"
#include "zelph/rpc/any_data_conversion.h"
#include "zelph/rpc/client_text.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/zelph_service.h"

using zelph::rpc::QuoteClientText;

grpc::Status ZelphServiceV2Impl::SetData(grpc::ServerContext*, const zelph::SetDataRequest* request,
                                         zelph::SetDataResponse*) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Set data, url: {}", QuoteClientText(request->url()));
  return zelph::rpc::LogIfFailed(zelph::rpc::RunGuarded([&] {
    const ObjectUrl url(request->url());
    const std::string& path = url.GetPath();
    if (path == "/session/project/worker/system") return SetWorkerSystemProperty(url, *request);
    if (path == "/session/project/property") return SetProjectProperty(url, *request);
    if (path == "/session/project/input" || path == "/session/project/output" ||
        path == "/session/project/worker/input") {
      return SetCacheData(url, *request);
    }
    return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT,
                        fmt::format("Unsupported url: {}", QuoteClientText(request->url())));
  }));
}

grpc::Status ZelphServiceV2Impl::SetWorkerSystemProperty(const ObjectUrl& url,
                                                         const zelph::SetDataRequest& request) {
  const ObjectUrlNode worker_node = url.Node(UrlPlace::kWorker);
  if (grpc::Status status = ValidateObjectUrl(worker_node.BuildUrl()); !status.ok()) return status;
  const std::shared_ptr<IDataProcess> worker =
      zelph::rpc::FindWorker(*GetProject(url), worker_node.GetId());
  Property* properties = worker->GetSystemProperties();
  if (properties == nullptr) {
    return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "system properties not found");
  }
  return SetPropertyFromAnyData(properties, std::string(url.Node(UrlPlace::kWorkerSystem).GetId()),
                                request);
}

grpc::Status ZelphServiceV2Impl::SetProjectProperty(const ObjectUrl& url,
                                                    const zelph::SetDataRequest& request) {
  if (grpc::Status status = ValidateObjectUrl(url.Node(UrlPlace::kProject).BuildUrl());
      !status.ok()) {
    return status;
  }
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  Property* properties = project->GetChainProperties().get();
  if (properties == nullptr) throw zelph::Exception("Properties not exist");
  const std::string name(url.Node(UrlPlace::kProperty).GetId());
  const grpc::Status status = SetPropertyFromAnyData(properties, name, request);
  // Also after a refused value: the chain takes over whatever the mirror now holds.
  project->ApplyChainProperty(name);
  return status;
}

grpc::Status ZelphServiceV2Impl::SetCacheData(const ObjectUrl& url,
                                              const zelph::SetDataRequest& request) {
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  if (grpc::Status status = ValidateObjectUrl(project_url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  // The key is the URL's tail as the client wrote it, ids included ("/worker:w/input:i").
  return StoreAnyDataInCache(url.GetUrl().substr(project_url.size()), project, request);
}
