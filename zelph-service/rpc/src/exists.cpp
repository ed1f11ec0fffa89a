// exists.cpp
//
// Exists: whether the object of each URL exists. Sessions, projects, workers, links,
// properties, statistics and settings are looked up where they live; every other project
// URL is a project cache entry, looked up under the key GetData reads it by.
#include <memory>
#include <string>

#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/property.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"
#include "zelph/projects/store.h"
#include "zelph/rpc/cache_key.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"
#include "zelph/settings/project_configuration.h"

using zelph::rpc::IdOf;

namespace {

// Below its project: the project's own objects by path, anything else by its cache key.
bool ExistsInProject(zelph::Project& project, const ObjectUrl& url) {
  const std::string& path = url.GetPath();
  if (path == "/session/project/statistic") {
    return project.FindStatistic(IdOf(url, UrlPlace::kStatistic)) != nullptr;
  }
  if (path == "/session/project/setting") {
    const std::shared_ptr<ProjectConfiguration> configuration = project.GetConfiguration();
    return configuration && configuration->HasSetting(IdOf(url, UrlPlace::kSetting));
  }
  if (path == "/session/project/setting/property") {
    const std::shared_ptr<ProjectConfiguration> configuration = project.GetConfiguration();
    return configuration && configuration->HasProperty(IdOf(url, UrlPlace::kSetting),
                                                       IdOf(url, UrlPlace::kSettingProperty));
  }
  if (path == "/session/project/worker") return project.HasWorker(IdOf(url, UrlPlace::kWorker));
  if (path == "/session/project/worker/system") {
    return project.HasWorkerSystemProperty(IdOf(url, UrlPlace::kWorker),
                                           IdOf(url, UrlPlace::kWorkerSystem));
  }
  if (path == "/session/project/worker/property") {
    return project.HasWorkerProperty(IdOf(url, UrlPlace::kWorker),
                                     IdOf(url, UrlPlace::kWorkerProperty));
  }
  if (path == "/session/project/link") return project.HasLink(IdOf(url, UrlPlace::kLink));
  if (path == "/session/project/property") {
    const std::shared_ptr<Property> properties = project.GetChainProperties();
    return properties && properties->HasValue(url.Node(UrlPlace::kProperty).GetId());
  }
  return zelph::rpc::FindCacheEntry(project, url).has_value();
}

}  // namespace

grpc::Status ZelphServiceV2Impl::Exists(grpc::ServerContext* context,
                                        const zelph::ExistsRequest* request,
                                        zelph::ExistsResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  for (const std::string& url : request->url()) {
    if (grpc::Status status = ValidateObjectUrl(url); !status.ok()) {
      return zelph::rpc::LogIfFailed(std::move(status));
    }
  }
  // Each element repeats its URL: a request near the transport's limit would make a reply past
  // it.
  zelph::rpc::ReplySize reply(*reply_budget_);
  for (const std::string& text : request->url()) {
    const ObjectUrl url(text);
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "Object exists url: {}", zelph::QuoteClientText(text));
    const std::string& path = url.GetPath();
    bool exists = false;
    try {
      if (path == "/model") {
        exists = plugins_->FindModel(IdOf(url, UrlPlace::kModel)) != nullptr;
      } else if (path == "/session") {
        exists = store_->HasSession(IdOf(url, UrlPlace::kSession));
      } else if (path == "/session/project") {
        exists = store_->HasProject(IdOf(url, UrlPlace::kSession), IdOf(url, UrlPlace::kProject));
      } else if (path.starts_with("/session/project")) {
        const std::shared_ptr<zelph::Project> project =
            store_->FindSession(IdOf(url, UrlPlace::kSession))
                ->GetProject(IdOf(url, UrlPlace::kProject));
        exists = ExistsInProject(*project, url);
      }
    } catch (...) {
      // A lookup that fails in any way means the object does not exist.
    }
    zelph::GAnyData* element = response->add_exists();
    element->set_url(text);
    element->set_bool_val(exists);
    if (grpc::Status status = reply.CountElements(response->exists()); !status.ok()) {
      return zelph::rpc::LogIfFailed(std::move(status));
    }
  }
  return zelph::rpc::FinishReply(reply, grpc::Status::OK);
}
