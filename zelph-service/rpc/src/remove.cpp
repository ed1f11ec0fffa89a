// remove.cpp
//
// Remove: every URL checked and looked up, the chains it edits locked and its reply counted,
// then each removed by the operation of its path. The reply lists what each operation
// reports as removed, as full object URLs.
#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cached_data_bytes.h"
#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/projects/project.h"
#include "zelph/projects/rw_lock.h"
#include "zelph/projects/service_cache.h"
#include "zelph/projects/session.h"
#include "zelph/projects/store.h"
#include "zelph/rpc/any_data_conversion.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_budget.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"

using zelph::QuoteClientText;
using zelph::rpc::IdOf;
using zelph::rpc::RunGuarded;

namespace {

// One URL of a Remove, with the project its removal changes, looked up before anything goes.
struct Removal {
  ObjectUrl url;
  grpc::Status (ZelphServiceV2Impl::*operation)(const ObjectUrl&, zelph::Project*,
                                                zelph::RemoveResponse&);
  std::shared_ptr<zelph::Project> project;  // null for sessions and projects
  bool edits_chain = false;                 // the project's lock is held for it
};

// The exclusive locks of the projects whose chains the removals edit, each taken once, in
// the order of the projects' addresses so that two Removes never wait for each other.
// Throws WaitAbandoned, holding nothing, when the client gives up first.
std::vector<std::unique_lock<zelph::RwLock>> LockChains(const std::vector<Removal>& removals) {
  std::vector<zelph::Project*> projects;
  for (const Removal& removal : removals) {
    if (removal.edits_chain) projects.push_back(removal.project.get());
  }
  std::sort(projects.begin(), projects.end());
  projects.erase(std::unique(projects.begin(), projects.end()), projects.end());
  std::vector<std::unique_lock<zelph::RwLock>> locks;
  for (zelph::Project* project : projects) locks.emplace_back(project->GetLock());
  return locks;
}

// The most bytes the removal of `removal` can add to the reply: the URL it reports, and for
// a worker the URLs of its links. Called with the project's lock held for chain edits.
std::uint64_t ReplyBound(const Removal& removal) {
  const ObjectUrl& url = removal.url;
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  if (url.GetPath() == "/session/project/worker") {
    std::uint64_t bytes =
        zelph::rpc::ElementBytes(project_url.size() + url.Node(UrlPlace::kWorker).GetId().size() +
                                 std::string_view("/worker:").size());
    for (const std::string& link_id :
         removal.project->LinkIdsOfWorker(IdOf(url, UrlPlace::kWorker))) {
      bytes += zelph::rpc::ElementBytes(project_url.size() + std::string_view("/link:").size() +
                                        link_id.size());
    }
    return bytes;
  }
  if (url.GetPath() == "/session/project/link") {
    return zelph::rpc::ElementBytes(project_url.size() + std::string_view("/link:").size() +
                                    url.Node(UrlPlace::kLink).GetId().size());
  }
  // Sessions, projects and statistics report their URLs rebuilt, data its URL as written.
  const std::string_view path = url.GetPath();
  const std::size_t reported_bytes =
      path == "/session"                     ? url.Node(UrlPlace::kSession).BuildUrl().size()
      : path == "/session/project"           ? project_url.size()
      : path == "/session/project/statistic" ? url.Node(UrlPlace::kStatistic).BuildUrl().size()
                                             : url.GetUrl().size();
  return zelph::rpc::ElementBytes(reported_bytes);
}

}  // namespace

// A Remove answered with an error has removed nothing: every lookup that can fail, the
// locks of the chains it edits and the count of its reply come before its first removal.
grpc::Status ZelphServiceV2Impl::Remove(grpc::ServerContext* context,
                                        const zelph::RemoveRequest* request,
                                        zelph::RemoveResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  using Operation = decltype(Removal::operation);
  enum class Lookup { kNone, kSession, kProject, kGuardedProject };
  struct Route {
    std::string_view path;
    Operation operation;
    Lookup lookup;
  };
  // A guarded lookup answers a missing session or project as the worker and link removals
  // always have, INTERNAL with the text; the others throw past the handler.
  static constexpr Route kRoutes[] = {
      {"/session/project/worker", &ZelphServiceV2Impl::RemoveWorker, Lookup::kGuardedProject},
      {"/session/project/link", &ZelphServiceV2Impl::RemoveLink, Lookup::kGuardedProject},
      {"/session/project", &ZelphServiceV2Impl::RemoveProject, Lookup::kSession},
      {"/session/project/statistic", &ZelphServiceV2Impl::RemoveStatistic, Lookup::kProject},
      {"/session", &ZelphServiceV2Impl::RemoveSession, Lookup::kNone},
      {"/session/project/input", &ZelphServiceV2Impl::RemoveProjectData, Lookup::kProject},
      {"/session/project/output", &ZelphServiceV2Impl::RemoveProjectData, Lookup::kProject},
  };

  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove objects");
  for (const std::string& url : request->url()) {
    if (grpc::Status status = ValidateObjectUrl(url); !status.ok()) {
      return zelph::rpc::LogIfFailed(std::move(status));
    }
  }
  // Exceptions of the lookups that are not guarded leave the handler on purpose: gRPC answers
  // them with UNKNOWN, which is how clients have always learnt of a missing session or
  // project here. The removed URLs repeat the request's.
  std::vector<Removal> removals;
  removals.reserve(request->url_size());
  for (const std::string& text : request->url()) {
    ObjectUrl url(text);
    const Route* route = std::find_if(std::begin(kRoutes), std::end(kRoutes),
                                      [&](const Route& r) { return r.path == url.GetPath(); });
    if (route == std::end(kRoutes)) {
      return zelph::rpc::LogIfFailed(
          grpc::Status(grpc::StatusCode::INVALID_ARGUMENT,
                       "Failed remove object, invalid url " + QuoteClientText(text)));
    }
    Removal removal{std::move(url), route->operation, nullptr,
                    route->lookup == Lookup::kGuardedProject};
    switch (route->lookup) {
      case Lookup::kNone:
        break;
      case Lookup::kSession:
        zelph::rpc::FindSession(*store_, removal.url.Node(UrlPlace::kSession).GetId());
        break;
      case Lookup::kProject:
        removal.project = GetProject(removal.url);
        break;
      case Lookup::kGuardedProject:
        if (grpc::Status status = RunGuarded([&] {
              removal.project = GetProject(removal.url);
              return grpc::Status::OK;
            });
            !status.ok()) {
          return zelph::rpc::LogIfFailed(std::move(status));
        }
        break;
    }
    removals.push_back(std::move(removal));
  }

  zelph::rpc::ReplySize reply(*reply_budget_);
  std::vector<std::unique_lock<zelph::RwLock>> locks;
  grpc::Status status = RunGuarded([&] {
    locks = LockChains(removals);
    std::uint64_t bound = 0;
    for (const Removal& removal : removals) bound += ReplyBound(removal);
    return reply.Reserve(bound);
  });
  for (const Removal& removal : removals) {
    if (!status.ok()) break;
    status = (this->*removal.operation)(removal.url, removal.project.get(), *response);
  }
  locks.clear();
  // What was reserved covers what was reported: the count only gives back the difference.
  if (status.ok()) status = reply.CountElements(response->removed_url());
  if (!status.ok()) return zelph::rpc::LogIfFailed(std::move(status));
  return zelph::rpc::FinishReply(reply, grpc::Status::OK);
}

// The worker's links are reported first, then the worker, even when no worker had the id.
// Called with the project's lock held.
grpc::Status ZelphServiceV2Impl::RemoveWorker(const ObjectUrl& url, zelph::Project* project,
                                              zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove worker: {}", QuoteClientText(url.GetUrl()));
  return RunGuarded([&] {
    const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
    project->RemoveWorkerHeld(IdOf(url, UrlPlace::kWorker), [&](const std::string& removed) {
      response.add_removed_url(project_url + removed);
    });
    return grpc::Status::OK;
  });
}

// The chain reports success for an id that no link has, so such a link is listed too.
// Called with the project's lock held.
grpc::Status ZelphServiceV2Impl::RemoveLink(const ObjectUrl& url, zelph::Project* project,
                                            zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove link: {}", QuoteClientText(url.GetUrl()));
  return RunGuarded([&] {
    const std::string link_id = IdOf(url, UrlPlace::kLink);
    if (project->GetChain()->RemoveLink(link_id) == zelph::Status::kSuccess) {
      response.add_removed_url(
          fmt::format("{}/link:{}", url.Node(UrlPlace::kProject).BuildUrl(), link_id));
    }
    return grpc::Status::OK;
  });
}

grpc::Status ZelphServiceV2Impl::RemoveProject(const ObjectUrl& url, zelph::Project*,
                                               zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove project: {}", QuoteClientText(url.GetUrl()));
  const std::shared_ptr<zelph::Session> session =
      zelph::rpc::FindSession(*store_, url.Node(UrlPlace::kSession).GetId());
  const std::string id = IdOf(url, UrlPlace::kProject);
  // Its data's memory goes back as drained replies' does.
  std::uint64_t freed = 0;
  session->ForEachProject([&](const std::shared_ptr<zelph::Project>& project) {
    if (project->GetId() == id) freed = zelph::rpc::CachedDataBytes(*project);
  });
  if (session->RemoveProject(id)) {
    response.add_removed_url(url.Node(UrlPlace::kProject).BuildUrl());
    reply_budget_->NoteFreed(freed);
  }
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::RemoveStatistic(const ObjectUrl& url, zelph::Project* project,
                                                 zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove statistic: {}", QuoteClientText(url.GetUrl()));
  if (project->RemoveStatistic(IdOf(url, UrlPlace::kStatistic))) {
    response.add_removed_url(url.Node(UrlPlace::kStatistic).BuildUrl());
  }
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::RemoveSession(const ObjectUrl& url, zelph::Project*,
                                               zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove session: {}", QuoteClientText(url.GetUrl()));
  if (store_->RemoveSession(IdOf(url, UrlPlace::kSession))) {
    response.add_removed_url(url.Node(UrlPlace::kSession).BuildUrl());
  }
  return grpc::Status::OK;
}

// The cache key is the URL's text after its project part, as SetData stored it; the reply
// repeats the URL as the client wrote it.
grpc::Status ZelphServiceV2Impl::RemoveProjectData(const ObjectUrl& url, zelph::Project* project,
                                                   zelph::RemoveResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Remove project data: {}", QuoteClientText(url.GetUrl()));
  const std::string& text = url.GetUrl();
  const std::string project_url = url.Node(UrlPlace::kProject).BuildUrl();
  if (!text.starts_with(project_url)) return grpc::Status::OK;
  const std::string key = text.substr(project_url.size());
  const std::optional<DataEx> entry = project->GetServiceCache().Find(key);
  if (project->GetServiceCache().Erase(key)) {
    response.add_removed_url(text);
    if (entry && entry->data) reply_budget_->NoteFreed(AnyDataBytesBound(*entry->data));
  }
  return grpc::Status::OK;
}
