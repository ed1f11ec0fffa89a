// get_list_project.cpp
//
// GetList's builders of a project's objects: workers (or the kinds below one), links,
// chain properties, a worker's properties and system properties, the project's models,
// settings, statuses, statistics, errors and cached data, with the resource filter that the
// cache, statistic, error and status lists apply.
#include <fmt/format.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "handler_frame.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/base_control.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model.h"
#include "zelph/model/link.h"
#include "zelph/model/model_structure.h"
#include "zelph/model/property.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/object_status.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_cache.h"
#include "zelph/projects/statistic.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/zelph_service.h"
#include "zelph/settings/project_configuration.h"
#include "zelph/settings/setting_node.h"

using zelph::rpc::ValidateProjectPart;
using zelph::rpc::ValidateWorkerPart;

namespace {

// The request's resource filter. A request that carries one, whatever its time (0 too),
// lists only what changed after that time. Cache stamps and statistic times are compared as
// unsigned numbers, so a negative time lets none of them through; status times are compared
// as signed numbers.
class ResourceFilter {
 public:
  explicit ResourceFilter(const zelph::GetListRequest& request)
      : present_(request.has_resource_filter()),
        modified_after_(request.resource_filter().modified_after()) {}

  bool IsPresent() const { return present_; }
  bool PassesStamp(std::int64_t stamp) const {
    return !present_ ||
           static_cast<std::uint64_t>(stamp) > static_cast<std::uint64_t>(modified_after_);
  }
  bool PassesStatusTime(std::int64_t time) const { return !present_ || time > modified_after_; }

 private:
  bool present_;
  std::int64_t modified_after_;
};

// The statistics of the map in its order (shard by shard, keys ascending within a shard),
// copied out so that each statistic's own lock is taken outside the shard locks.
std::vector<std::pair<std::string, std::shared_ptr<zelph::Statistic>>> StatisticsOf(
    zelph::Project& project) {
  std::vector<std::pair<std::string, std::shared_ptr<zelph::Statistic>>> statistics;
  project.GetStatistics().ForEach(
      [&](const std::string& key, const std::shared_ptr<zelph::Statistic>& statistic) {
        if (statistic) statistics.emplace_back(key, statistic);
      });
  return statistics;
}

// When the statistic's document was last rendered, as a cache stamp; 0 before the first.
std::int64_t StampOf(const zelph::Statistic& statistic) {
  const zelph::StatisticDocument document = statistic.GetDocument();
  return document.data ? DataEx::StampOf(document.rendered) : 0;
}

// Worker models whose settings a client edits: input, output and data models.
constexpr std::uint32_t kSettingModelFlags =
    zelph::kInputModel | zelph::kOutputModel | zelph::kDataModel;

// The main setting and, depth first, every main setting below it; other nodes end their
// branch.
void AppendMainSettings(const std::string& project_url, const SettingNode& node,
                        zelph::GetListResponse& response) {
  std::string url = fmt::format("{}/setting:{}", project_url, node.id);
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "setting url: {}", zelph::QuoteClientText(url));
  response.add_url(std::move(url));
  for (const std::shared_ptr<SettingNode>& child : node.children) {
    if (std::dynamic_pointer_cast<MainSetting>(child)) {
      AppendMainSettings(project_url, *child, response);
    }
  }
}

}  // namespace

grpc::Status ZelphServiceV2Impl::ListSettings(const ObjectUrl& url, const zelph::GetListRequest&,
                                              zelph::GetListResponse& response) {
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  {
    std::shared_lock lock(project->GetLock());
    project->ForEachWorker([&](const std::shared_ptr<IDataProcess>& worker) {
      if ((worker->GetStructure().GetOptionalFlags() & kSettingModelFlags) == 0) return;
      std::string worker_url = fmt::format("{}/worker:{}", project_url, worker->GetId());
      ZELPH_LOG(ZelphSeverityLevel::kTrace, "setting [io] url: {}",
                zelph::QuoteClientText(worker_url));
      response.add_url(std::move(worker_url));
    });
  }
  // The tree's shape never changes once built; only its values are guarded.
  if (const std::shared_ptr<ProjectConfiguration> configuration = project->GetConfiguration()) {
    if (const std::shared_ptr<MainSetting> main = configuration->FindMainSetting()) {
      AppendMainSettings(project_url, *main, response);
    }
  }
  return grpc::Status::OK;
}

// The project's own status is listed only for a filtered request, when it changed after the
// filter's time.
grpc::Status ZelphServiceV2Impl::ListStatuses(const ObjectUrl& url,
                                              const zelph::GetListRequest& request,
                                              zelph::GetListResponse& response) {
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  const ResourceFilter filter(request);
  {
    std::shared_lock lock(project->GetLock());
    project->ForEachWorker([&](const std::shared_ptr<IDataProcess>& worker) {
      const std::string id = worker->GetId();
      const std::optional<std::shared_ptr<zelph::ObjectStatusData>> status =
          project->GetObjectStatuses().Find(id);
      if (status && *status && filter.PassesStatusTime((*status)->time.load())) {
        response.add_url(fmt::format("{}/worker:{}/status", project_url, id));
      }
    });
  }
  const std::shared_ptr<zelph::ObjectStatusData> own = project->GetChainStatus();
  if (own && filter.IsPresent() && filter.PassesStatusTime(own->time.load())) {
    response.add_url(project_url + "/status");
  }
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::ListProjectProperties(const ObjectUrl& url,
                                                       const zelph::GetListRequest&,
                                                       zelph::GetListResponse& response) {
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  if (url.Node(UrlPlace::kProperty).HasId()) return grpc::Status::OK;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string prefix = url.Node(UrlPlace::kProject).BuildUrl() + "/property:";
  project->GetChainProperties()->ForEach(
      [&](const std::string& name, PropertyValue&) { response.add_url(prefix + name); });
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::ListWorkers(const ObjectUrl& url, const zelph::GetListRequest&,
                                             zelph::GetListResponse& response) {
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const ObjectUrlNode worker = url.Node(UrlPlace::kWorker);
  if (worker.HasId()) {
    // Looks nothing up: the kinds below any worker the URL names.
    for (std::string_view kind : KindsBelow(UrlPlace::kWorker)) {
      response.add_url(fmt::format("{}/{}", worker.BuildUrl(), kind));
    }
    return grpc::Status::OK;
  }
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string prefix = url.Node(UrlPlace::kProject).BuildUrl() + "/worker:";
  std::shared_lock lock(project->GetLock());
  project->ForEachWorker(
      [&](const std::shared_ptr<IDataProcess>& each) { response.add_url(prefix + each->GetId()); });
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::ListStatistics(const ObjectUrl& url,
                                                const zelph::GetListRequest& request,
                                                zelph::GetListResponse& response) {
  if (url.Node(UrlPlace::kStatistic).HasId()) return grpc::Status::OK;
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string prefix = url.Node(UrlPlace::kProject).BuildUrl() + "/statistic:";
  const ResourceFilter filter(request);
  for (const auto& [key, statistic] : StatisticsOf(*project)) {
    if (!filter.PassesStamp(StampOf(*statistic))) continue;
    std::string statistic_url = prefix + key;
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "Statistic url: {}",
              zelph::QuoteClientText(statistic_url));
    response.add_url(std::move(statistic_url));
  }
  return grpc::Status::OK;
}

// Only statistics that carry an error message.
grpc::Status ZelphServiceV2Impl::ListErrors(const ObjectUrl& url,
                                            const zelph::GetListRequest& request,
                                            zelph::GetListResponse& response) {
  if (url.Node(UrlPlace::kError).HasId()) return MakeInvalidUrlStatus(url.GetUrl(), "id required");
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string prefix = url.Node(UrlPlace::kProject).BuildUrl() + "/error:";
  const ResourceFilter filter(request);
  for (const auto& [key, statistic] : StatisticsOf(*project)) {
    std::string message;
    {
      std::shared_lock lock(statistic->lock);
      message = statistic->error_message;
    }
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "statistic: {}", zelph::QuoteClientText(message));
    if (message.empty() || !filter.PassesStamp(StampOf(*statistic))) continue;
    std::string error_url = prefix + key;
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "Error url: {}", zelph::QuoteClientText(error_url));
    response.add_url(std::move(error_url));
  }
  return grpc::Status::OK;
}

// The controls the worker's model describes, whether or not the worker holds a value.
grpc::Status ZelphServiceV2Impl::ListWorkerProperties(const ObjectUrl& url,
                                                      const zelph::GetListRequest&,
                                                      zelph::GetListResponse& response) {
  if (grpc::Status status = ValidateWorkerPart(url); !status.ok()) return status;
  if (url.Node(UrlPlace::kWorkerProperty).HasId()) return grpc::Status::OK;
  const std::shared_ptr<IDataProcess> worker = GetWorker(url);
  const std::string prefix = url.Node(UrlPlace::kWorker).BuildUrl() + "/property:";
  for (const zelph::BaseControl& control : worker->GetStructure().GetControls()) {
    response.add_url(prefix + control.GetName());
  }
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::ListWorkerSystemProperties(const ObjectUrl& url,
                                                            const zelph::GetListRequest&,
                                                            zelph::GetListResponse& response) {
  if (grpc::Status status = ValidateWorkerPart(url); !status.ok()) return status;
  if (url.Node(UrlPlace::kWorkerSystem).HasId()) return grpc::Status::OK;
  const std::shared_ptr<IDataProcess> worker = GetWorker(url);
  Property* properties = worker->GetSystemProperties();
  if (properties == nullptr) return grpc::Status::OK;
  const std::string prefix = url.Node(UrlPlace::kWorker).BuildUrl() + "/system:";
  properties->ForEach(
      [&](const std::string& name, PropertyValue&) { response.add_url(prefix + name); });
  return grpc::Status::OK;
}

// A URL without a session or project id lists nothing and is no failure.
grpc::Status ZelphServiceV2Impl::ListLinks(const ObjectUrl& url, const zelph::GetListRequest&,
                                           zelph::GetListResponse& response) {
  if (!ValidateProjectPart(url).ok()) return grpc::Status::OK;
  if (url.Node(UrlPlace::kLink).HasId()) return grpc::Status::OK;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string prefix = url.Node(UrlPlace::kProject).BuildUrl() + "/link:";
  std::shared_lock lock(project->GetLock());
  project->ForEachLink([&](Link* link) { response.add_url(prefix + link->GetId()); });
  return grpc::Status::OK;
}

// The models the plug-ins registered for this project alone.
grpc::Status ZelphServiceV2Impl::ListProjectModels(const ObjectUrl& url,
                                                   const zelph::GetListRequest&,
                                                   zelph::GetListResponse& response) {
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  if (url.Node(UrlPlace::kProjectModel).HasId()) return grpc::Status::OK;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string prefix = url.Node(UrlPlace::kProject).BuildUrl() + "/model:";
  for (const std::shared_ptr<IDataProcessModel>& model :
       plugins_->GetModels(project->GetPluginSessionKey())) {
    response.add_url(prefix + model->GetId());
  }
  return grpc::Status::OK;
}

// Every cache entry whose URL (the project URL followed by its key) begins with the URL of
// the deepest node the request selected: "/input" lists the "/input:{}" entries,
// "/worker:{w}/output" that worker's outputs. A URL that selected one object lists nothing.
grpc::Status ZelphServiceV2Impl::ListCachedData(const ObjectUrl& url,
                                                const zelph::GetListRequest& request,
                                                zelph::GetListResponse& response) {
  const std::optional<ObjectUrlNode> deepest = url.GetMatchedNode();
  if (deepest && deepest->HasId()) return grpc::Status::OK;
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  // The project part passed its check, so the deepest node lies below the project and its
  // URL extends the project's: comparing keys with the rest spares building every entry's URL.
  const std::string scope = deepest->BuildUrl().substr(project_url.size());
  const ResourceFilter filter(request);
  project->GetServiceCache().ForEach([&](const std::string& key, const DataEx& entry) {
    if (key.starts_with(scope) && filter.PassesStamp(entry.modified)) {
      response.add_url(project_url + key);
    }
  });
  return grpc::Status::OK;
}
