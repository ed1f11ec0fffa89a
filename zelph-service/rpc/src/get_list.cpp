// get_list.cpp
//
// GetList: the dispatch of a URL's path to its list builder, and the builders of what lies
// outside a project: the kinds below the root, a session and a project, the sessions, the
// projects of a session, the registered models, and the solution catalogue's apps and
// templates. The builders of a project's objects are in get_list_project.cpp.
#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/data_process_model.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"
#include "zelph/projects/solution_provider.h"
#include "zelph/projects/store.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"

using zelph::QuoteClientText;

namespace {

// "{prefix}/{kind}" for every kind the grammar allows below `place`.
void AppendKinds(const std::string& prefix, UrlPlace place, zelph::GetListResponse& response) {
  for (std::string_view kind : KindsBelow(place)) {
    response.add_url(fmt::format("{}/{}", prefix, kind));
  }
}

}  // namespace

grpc::Status ZelphServiceV2Impl::GetList(grpc::ServerContext* context,
                                         const zelph::GetListRequest* request,
                                         zelph::GetListResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  using Builder = grpc::Status (ZelphServiceV2Impl::*)(
      const ObjectUrl&, const zelph::GetListRequest&, zelph::GetListResponse&);
  struct Route {
    std::string_view path;
    Builder builder;
  };
  // Compared by exact text in this order; every other path below a project lists cache
  // entries. The builders of "/session", "/session/project" and "/session/project/worker"
  // list kinds when the URL names one such object, and the objects otherwise.
  static constexpr Route kRoutes[] = {
      {"/", &ZelphServiceV2Impl::ListRoot},
      {"/app", &ZelphServiceV2Impl::ListSolutionApps},
      {"/app/template", &ZelphServiceV2Impl::ListSolutionTemplates},
      {"/session", &ZelphServiceV2Impl::ListSessions},
      {"/model", &ZelphServiceV2Impl::ListModels},
      {"/session/project", &ZelphServiceV2Impl::ListProjects},
      {"/session/project/setting", &ZelphServiceV2Impl::ListSettings},
      {"/session/project/status", &ZelphServiceV2Impl::ListStatuses},
      {"/session/project/property", &ZelphServiceV2Impl::ListProjectProperties},
      {"/session/project/worker", &ZelphServiceV2Impl::ListWorkers},
      {"/session/project/statistic", &ZelphServiceV2Impl::ListStatistics},
      {"/session/project/error", &ZelphServiceV2Impl::ListErrors},
      {"/session/project/worker/property", &ZelphServiceV2Impl::ListWorkerProperties},
      {"/session/project/worker/system", &ZelphServiceV2Impl::ListWorkerSystemProperties},
      {"/session/project/link", &ZelphServiceV2Impl::ListLinks},
      {"/session/project/model", &ZelphServiceV2Impl::ListProjectModels},
  };

  zelph::Timer timer("GetList");
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Get list of objects url: {}",
            QuoteClientText(request->url()));
  if (grpc::Status status = CheckUrlNotEmpty(request->url()); !status.ok()) {
    return zelph::rpc::LogIfFailed(std::move(status));
  }
  zelph::rpc::ReplySize reply(*reply_budget_);
  grpc::Status status = zelph::rpc::LogIfFailed(zelph::rpc::RunGuarded([&] {
    const ObjectUrl url(request->url());
    const std::string& path = url.GetPath();
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "URL path: {}", QuoteClientText(path));
    const Route* route = std::find_if(std::begin(kRoutes), std::end(kRoutes),
                                      [&](const Route& r) { return r.path == path; });
    grpc::Status listed;
    if (route != std::end(kRoutes)) {
      listed = (this->*route->builder)(url, *request, *response);
    } else if (path.starts_with("/session/project/")) {
      listed = ListCachedData(url, *request, *response);
    } else {
      return grpc::Status(
          grpc::StatusCode::INVALID_ARGUMENT,
          "[GetList] Incorrect/Unsupported object url: " + QuoteClientText(request->url()));
    }
    // The ids listed are the clients' own, as long and as many as they made them.
    return listed.ok() ? reply.CountElements(response->url()) : listed;
  }));
  return zelph::rpc::FinishReply(reply, std::move(status));
}

grpc::Status ZelphServiceV2Impl::ListRoot(const ObjectUrl&, const zelph::GetListRequest&,
                                          zelph::GetListResponse& response) {
  AppendKinds("", UrlPlace::kRoot, response);
  return grpc::Status::OK;
}

// The catalogue is rebuilt from its folders first: this is how a client's new solutions
// become known to the service.
grpc::Status ZelphServiceV2Impl::ListSolutionApps(const ObjectUrl&, const zelph::GetListRequest&,
                                                  zelph::GetListResponse& response) {
  const ZelphConfig& config = *ZelphConfig::GetInstance();
  solutions_->Scan(config.GetSolutionAppsDir(), config.GetSolutionTemplateDir());
  for (const std::shared_ptr<SolutionApp>& app : solutions_->GetApps()) {
    response.add_url("/app:" + app->id);
  }
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::ListSolutionTemplates(const ObjectUrl& url,
                                                       const zelph::GetListRequest&,
                                                       zelph::GetListResponse& response) {
  const std::string app_id(url.Node(UrlPlace::kApp).GetId());
  for (const std::shared_ptr<SolutionTemplate>& entry : solutions_->GetTemplatesOfApp(app_id)) {
    response.add_url(fmt::format("/app:{}/template:{}", app_id, entry->id));
  }
  return grpc::Status::OK;
}

// Whether or not the session exists, its URL lists the kinds below a session.
grpc::Status ZelphServiceV2Impl::ListSessionKinds(const ObjectUrl& url,
                                                  const zelph::GetListRequest&,
                                                  zelph::GetListResponse& response) {
  AppendKinds(fmt::format("/session:{}", url.Node(UrlPlace::kSession).GetId()), UrlPlace::kSession,
              response);
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::ListSessions(const ObjectUrl& url,
                                              const zelph::GetListRequest& request,
                                              zelph::GetListResponse& response) {
  if (url.Node(UrlPlace::kSession).HasId()) return ListSessionKinds(url, request, response);
  store_->ForEachSession([&](const std::shared_ptr<zelph::Session>& session) {
    response.add_url("/session:" + session->GetId());
  });
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::ListModels(const ObjectUrl& url, const zelph::GetListRequest&,
                                            zelph::GetListResponse& response) {
  if (url.Node(UrlPlace::kModel).HasId()) return grpc::Status::OK;
  // The models every project may use: those registered under no session.
  for (const std::shared_ptr<IDataProcessModel>& model : plugins_->GetModels(std::string())) {
    response.add_url("/model:" + model->GetId());
  }
  return grpc::Status::OK;
}

// Looks nothing up: the kinds below any project the URL names.
grpc::Status ZelphServiceV2Impl::ListProjectKinds(const ObjectUrl& url,
                                                  const zelph::GetListRequest&,
                                                  zelph::GetListResponse& response) {
  if (grpc::Status status = ValidateObjectUrl(url.GetUrl()); !status.ok()) return status;
  AppendKinds(url.Node(UrlPlace::kProject).BuildUrl(), UrlPlace::kProject, response);
  return grpc::Status::OK;
}

// A session that does not exist has no projects: an empty list, no failure.
grpc::Status ZelphServiceV2Impl::ListProjects(const ObjectUrl& url,
                                              const zelph::GetListRequest& request,
                                              zelph::GetListResponse& response) {
  if (url.Node(UrlPlace::kProject).HasId()) return ListProjectKinds(url, request, response);
  const ObjectUrlNode session = url.Node(UrlPlace::kSession);
  if (grpc::Status status = ValidateObjectUrl(session.BuildUrl()); !status.ok()) return status;
  const std::string session_url = fmt::format("/session:{}", session.GetId());
  store_->ForEachProject(
      std::string(session.GetId()), [&](const std::shared_ptr<zelph::Project>& project) {
        response.add_url(fmt::format("{}/project:{}", session_url, project->GetId()));
      });
  return grpc::Status::OK;
}
