// set_data.cpp
//
// SetData: one value from a client into a worker property or system property, a chain
// property, a control of the project configuration, the whole configuration, or the
// project cache.
#include <fmt/format.h>

#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <utility>

#include "cache_write.h"
#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/chain/exception.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_cache.h"
#include "zelph/rpc/any_data_conversion.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_budget.h"
#include "zelph/rpc/zelph_service.h"

using zelph::QuoteClientText;

grpc::Status ZelphServiceV2Impl::SetData(grpc::ServerContext* context,
                                         const zelph::SetDataRequest* request,
                                         zelph::SetDataResponse*) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Set data, url: {}", QuoteClientText(request->url()));
  return zelph::rpc::LogIfFailed(zelph::rpc::RunGuarded([&] {
    const ObjectUrl url(request->url());
    const std::string& path = url.GetPath();
    if (path == "/session/project/worker/property") return SetWorkerProperty(url, *request);
    if (path == "/session/project/worker/system") return SetWorkerSystemProperty(url, *request);
    if (path == "/session/project/property") return SetProjectProperty(url, *request);
    if (path == "/session/project/setting/property") return SetSettingProperty(url, *request);
    if (path == "/session/project/input" || path == "/session/project/output" ||
        path == "/session/project/worker/input") {
      // The request is the handler's until it returns and nobody reads it afterwards, so the
      // cache entry may take over its bytes rather than copy them.
      return SetCacheData(url, *const_cast<zelph::SetDataRequest*>(request));
    }
    if (path == "/session/project/config") return SetProjectConfig(url, *request);
    return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT,
                        fmt::format("Unsupported url: {}", QuoteClientText(request->url())));
  }));
}

grpc::Status ZelphServiceV2Impl::SetWorkerProperty(const ObjectUrl& url,
                                                   const zelph::SetDataRequest& request) {
  const ObjectUrlNode worker_node = url.Node(UrlPlace::kWorker);
  if (grpc::Status status = ValidateObjectUrl(worker_node.BuildUrl()); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::shared_ptr<IDataProcess> worker =
      zelph::rpc::FindWorker(*project, worker_node.GetId());
  // One hold for the write and the configuration that follows it, taken before the write: a
  // wait for the lock that ends at the client's limit then leaves the property as it was.
  std::shared_lock lock(project->GetLock());
  const long long context_id = project->GetChain()->GetContextId();
  // Also mirrored into the system properties when the name begins with "$__system.".
  const grpc::Status status = SetWorkerPropertyFromAnyData(
      *worker, std::string(url.Node(UrlPlace::kWorkerProperty).GetId()), request);
  // The main-settings worker keeps the main settings in its "settings" property; the
  // project configuration follows whatever was written.
  if (worker->IsMainSetting(context_id)) project->UpdateConfigurationFromMainSettingHeld();
  return status;
}

grpc::Status ZelphServiceV2Impl::SetWorkerSystemProperty(const ObjectUrl& url,
                                                         const zelph::SetDataRequest& request) {
  const ObjectUrlNode worker_node = url.Node(UrlPlace::kWorker);
  if (grpc::Status status = ValidateObjectUrl(worker_node.BuildUrl()); !status.ok()) return status;
  const std::shared_ptr<IDataProcess> worker = GetWorker(url);
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
  if (project->GetChainProperties() == nullptr) throw zelph::Exception("Properties not exist");
  const std::string name(url.Node(UrlPlace::kProperty).GetId());
  grpc::Status status;
  // Also after a refused value: the chain takes over whatever the mirror now holds.
  project->EditChainProperty(name, [&](Property& properties) {
    status = SetPropertyFromAnyData(&properties, name, request);
  });
  return status;
}

// No URL check beyond the lookups: a setting or control that does not exist changes
// nothing and answers OK.
grpc::Status ZelphServiceV2Impl::SetSettingProperty(const ObjectUrl& url,
                                                    const zelph::SetDataRequest& request) {
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  PropertyValue value;
  if (grpc::Status status = PropertyValueFromAnyData(request, value); !status.ok()) return status;
  project->SetConfigurationValue(std::string(url.Node(UrlPlace::kSetting).GetId()),
                                 std::string(url.Node(UrlPlace::kSettingProperty).GetId()),
                                 std::move(value));
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::SetCacheData(const ObjectUrl& url,
                                              zelph::SetDataRequest& request) {
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  if (grpc::Status status = ValidateObjectUrl(project_url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  // The key is the URL's tail as the client wrote it, ids included ("/worker:w/input:i").
  const std::string key = url.GetUrl().substr(project_url.size());
  const std::optional<DataEx> replaced = project->GetServiceCache().Find(key);
  grpc::Status status = StoreAnyDataInCache(key, project, request);
  // The memory of the entry it replaced goes back to the system as drained replies' does.
  if (status.ok() && replaced && replaced->data) {
    reply_budget_->NoteFreed(AnyDataBytesBound(*replaced->data));
  }
  return status;
}

grpc::Status ZelphServiceV2Impl::SetProjectConfig(const ObjectUrl& url,
                                                  const zelph::SetDataRequest& request) {
  if (grpc::Status status = ValidateObjectUrl(url.Node(UrlPlace::kProject).BuildUrl());
      !status.ok()) {
    return status;
  }
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const zelph::GAnyData& data = request.data();
  // Any other value reads as the empty document, which the upload refuses.
  project->UploadConfiguration(data.value_case() == zelph::GAnyData::kStringVal ? data.string_val()
                                                                                : std::string());
  return grpc::Status::OK;
}
