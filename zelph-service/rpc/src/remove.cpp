// remove.cpp
//
// Remove: every URL checked, then each removed by the operation of its path, stopping at the
// first failure. The reply lists what each operation reports as removed, as full object URLs.
#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"
#include "zelph/projects/store.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"

using zelph::QuoteClientText;
using zelph::rpc::IdOf;
using zelph::rpc::RunGuarded;

grpc::Status ZelphServiceV2Impl::Remove(grpc::ServerContext* context,
                                        const zelph::RemoveRequest* request,
                                        zelph::RemoveResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  using Operation = grpc::Status (ZelphServiceV2Impl::*)(const ObjectUrl&, zelph::RemoveResponse&);
  struct Route {
    std::string_view path;
    Operation operation;
  };
  static constexpr Route kRoutes[] = {
      {"/session/project/worker", &ZelphServiceV2Impl::RemoveWorker},
      {"/session/project/link", &ZelphServiceV2Impl::RemoveLink},
      {"/session/project", &ZelphServiceV2Impl::RemoveProject},
      {"/session/project/statistic", &ZelphServiceV2Impl::RemoveStatistic},
      {"/session", &ZelphServiceV2Impl::RemoveSession},
      {"/session/project/input", &ZelphServiceV2Impl::RemoveProjectData},
      {"/session/project/output", &ZelphServiceV2Impl::RemoveProjectData},
  };

  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove objects");
  for (const std::string& url : request->url()) {
    if (grpc::Status status = ValidateObjectUrl(url); !status.ok()) {
      return zelph::rpc::LogIfFailed(std::move(status));
    }
  }
  // Exceptions of the operations that do not catch their own leave the handler on purpose:
  // gRPC answers them with UNKNOWN, which is how clients have always learnt of a missing
  // session or project here. The removed URLs repeat the request's.
  zelph::rpc::ReplySize reply(*reply_budget_);
  for (const std::string& text : request->url()) {
    const ObjectUrl url(text);
    const Route* route = std::find_if(std::begin(kRoutes), std::end(kRoutes),
                                      [&](const Route& r) { return r.path == url.GetPath(); });
    if (route == std::end(kRoutes)) {
      return zelph::rpc::LogIfFailed(
          grpc::Status(grpc::StatusCode::INVALID_ARGUMENT,
                       "Failed remove object, invalid url " + QuoteClientText(text)));
    }
    grpc::Status status = (this->*route->operation)(url, *response);
    if (status.ok()) status = reply.CountElements(response->removed_url());
    if (!status.ok()) {
      return zelph::rpc::LogIfFailed(std::move(status));
    }
  }
  return zelph::rpc::FinishReply(reply, grpc::Status::OK);
}

// The worker's links are reported first, then the worker, even when no worker had the id.
grpc::Status ZelphServiceV2Impl::RemoveWorker(const ObjectUrl& url,
                                              zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove worker: {}", QuoteClientText(url.GetUrl()));
  return RunGuarded([&] {
    const std::shared_ptr<zelph::Project> project = GetProject(url);
    const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
    project->RemoveWorker(IdOf(url, UrlPlace::kWorker), [&](const std::string& removed) {
      response.add_removed_url(project_url + removed);
    });
    return grpc::Status::OK;
  });
}

// The chain reports success for an id that no link has, so such a link is listed too.
grpc::Status ZelphServiceV2Impl::RemoveLink(const ObjectUrl& url, zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove link: {}", QuoteClientText(url.GetUrl()));
  return RunGuarded([&] {
    const std::shared_ptr<zelph::Project> project = GetProject(url);
    const std::string link_id = IdOf(url, UrlPlace::kLink);
    std::unique_lock lock(project->GetLock());
    if (project->GetChain()->RemoveLink(link_id) == zelph::Status::kSuccess) {
      response.add_removed_url(
          fmt::format("{}/link:{}", url.Node(UrlPlace::kProject).BuildUrl(), link_id));
    }
    return grpc::Status::OK;
  });
}

grpc::Status ZelphServiceV2Impl::RemoveProject(const ObjectUrl& url,
                                               zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove project: {}", QuoteClientText(url.GetUrl()));
  const std::shared_ptr<zelph::Session> session =
      zelph::rpc::FindSession(*store_, url.Node(UrlPlace::kSession).GetId());
  if (session->RemoveProject(IdOf(url, UrlPlace::kProject))) {
    response.add_removed_url(url.Node(UrlPlace::kProject).BuildUrl());
  }
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::RemoveStatistic(const ObjectUrl& url,
                                                 zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove statistic: {}", QuoteClientText(url.GetUrl()));
  if (GetProject(url)->RemoveStatistic(IdOf(url, UrlPlace::kStatistic))) {
    response.add_removed_url(url.Node(UrlPlace::kStatistic).BuildUrl());
  }
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::RemoveSession(const ObjectUrl& url,
                                               zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove session: {}", QuoteClientText(url.GetUrl()));
  if (store_->RemoveSession(IdOf(url, UrlPlace::kSession))) {
    response.add_removed_url(url.Node(UrlPlace::kSession).BuildUrl());
  }
  return grpc::Status::OK;
}

// The cache key is the URL's text after its project part, as SetData stored it; the reply
// repeats the URL as the client wrote it.
grpc::Status ZelphServiceV2Impl::RemoveProjectData(const ObjectUrl& url,
                                                   zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove project data: {}", QuoteClientText(url.GetUrl()));
  const std::string& text = url.GetUrl();
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  if (text.starts_with(project_url) &&
      project->GetServiceCache().Erase(std::string_view(text).substr(project_url.size()))) {
    response.add_removed_url(text);
  }
  return grpc::Status::OK;
}
