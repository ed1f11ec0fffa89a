// zelph_service.h
//
// ZelphServiceV2Impl: the gRPC service zelph.ZelphServiceApiV2 of the program. It owns the
// session store (and through it every session and project) and the solution catalogue, and
// answers every API method on gRPC's synchronous server threads.
//
//   ZelphServiceV2Impl service;                 // the store with its "default" session
//   grpc::ServerBuilder builder;
//   zelph::ApplyTransportOptions(builder);
//   builder.RegisterService(&service);
//   auto server = builder.BuildAndStart();      // shut it down before `service` goes
//
// The handlers share one frame (handler_frame.h): a trace line naming the request, the URL
// checks of object_url.h, dispatch on the URL's path with the ids removed, store lookups,
// and a std::exception of the work answered as INTERNAL with its text, logged at error
// level. The methods below say where they leave that frame. Each group of handlers has a
// source of its own: zelph_service.cpp (construction, sessions and projects),
// project_loading.cpp, execute_command.cpp, set_data.cpp, get_data*.cpp, exists.cpp,
// get_list*.cpp, remove.cpp, chain_editing.cpp, project_configuration_rpcs.cpp.
//
// Replies are counted as they are built (zelph/rpc/reply_size.h): a reply that would pass
// what protobuf can serialise, or the service's budget of reply bytes in flight, is refused
// with RESOURCE_EXHAUSTED; the bytes of an answered reply stay in the budget until gRPC has
// sent it. A handler that waits for a project's lock gives up at its client's deadline or
// cancellation with DEADLINE_EXCEEDED or CANCELLED, having changed nothing.
//
// Threading: the handlers run on any number of threads at once, also for one project. The
// service object itself is not changed after construction; the store, the sessions, the
// projects, the catalogue and the budget lock themselves.
#pragma once

#include <grpcpp/grpcpp.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "message/ZelphServiceApiV2.grpc.pb.h"

class IDataProcess;
class ObjectUrl;
class SimplePluginsManager;
class SolutionProvider;

namespace zelph {
class Project;
class Store;
}  // namespace zelph

namespace zelph::rpc {
struct CallBounds;
class ReplyBudget;
class ReplySize;
}  // namespace zelph::rpc

class ZelphServiceV2Impl : public zelph::ZelphServiceApiV2::Service {
 public:
  // Creates the store (with its "default" session and idle watchdog), an empty solution
  // catalogue, filled when a client first lists the apps, and a budget of
  // `max_reply_bytes_in_flight` reply bytes, which calls `on_replies_drained` (may be empty)
  // when a large amount has drained. Installs the hooks through which gRPC reports the end of
  // each call (call_scope.h): make the first service before the process's first gRPC server.
  ZelphServiceV2Impl(std::uint64_t max_reply_bytes_in_flight,
                     std::function<void()> on_replies_drained);
  // The same with the configured budget and no drain hook.
  ZelphServiceV2Impl();
  // Frees the catalogue, then the store, whose watchdog is joined. The server must have
  // shut down: no handler may run any more.
  ~ZelphServiceV2Impl() override;
  ZelphServiceV2Impl(const ZelphServiceV2Impl&) = delete;
  ZelphServiceV2Impl& operator=(const ZelphServiceV2Impl&) = delete;

  // Bounds every call served from now on (zelph/rpc/server_bounds.h): at most
  // `max_handler_threads` handlers run at once, a call past them answers RESOURCE_EXHAUSTED,
  // and a reply still unsent `reply_send_timeout` after its handler returned has its call
  // cancelled. Call once, before the service is served.
  void BoundCalls(int max_handler_threads, std::chrono::seconds reply_send_timeout);

  // Sessions and projects -----------------------------------------------------------------

  // No URL check: the id is the client's. INTERNAL "Session id is empty", "Session exists".
  grpc::Status CreateSession(grpc::ServerContext* context,
                             const zelph::CreateSessionRequest* request,
                             zelph::CreateSessionResponse* response) override;
  // "/session:{s}" makes a project with a new uuid, "/session:{s}/project:{p}" one with the
  // client's id; the reply is the project's URL.
  grpc::Status CreateProject(grpc::ServerContext* context,
                             const zelph::CreateProjectRequest* request,
                             zelph::CreateProjectResponse* response) override;

  // Runs ----------------------------------------------------------------------------------

  // The command applied to every URL in request order, all URLs checked first. A busy
  // project is no error: the reply's status is kCancelled. The reply carries the status of
  // the last URL whose action ran. Neither the request nor a failure is logged here.
  grpc::Status ExecuteCommand(grpc::ServerContext* context,
                              const zelph::ExecuteCommandRequest* request,
                              zelph::ExecuteCommandResponse* response) override;

  // Data ----------------------------------------------------------------------------------

  // One value into a worker property or system property, a chain property, a control of
  // the project configuration, the whole configuration, or the project cache. The URL as a
  // whole is not checked; each target checks what it needs.
  grpc::Status SetData(grpc::ServerContext* context, const zelph::SetDataRequest* request,
                       zelph::SetDataResponse* response) override;

  // One element per object URL read, in request order (get_data.cpp): every URL is checked
  // first, then each is read by the reader of its path, and the first failure ends the call.
  // A property, model, solution, worker, link, status, statistic, setting, chain text or
  // cache entry; "/session:{s}/project:{p}/config" adds no element, and neither does the
  // statistic or error of an object without a statistic.
  grpc::Status GetData(grpc::ServerContext* context, const zelph::GetDataRequest* request,
                       zelph::GetDataResponse* response) override;
  // Whether each URL's object exists, one bool element per URL (exists.cpp). Every URL is
  // checked first; after that a lookup that fails in any way answers false. Project data
  // URLs are looked up under the cache key that GetData reads (cache_key.h).
  grpc::Status Exists(grpc::ServerContext* context, const zelph::ExistsRequest* request,
                      zelph::ExistsResponse* response) override;

  // What lies below a URL (get_list.cpp, get_list_project.cpp): the kinds the URL grammar
  // allows there, or the objects that exist there, as complete object URLs. Only the empty
  // URL is refused up front; each list checks the parts of the URL it needs. A request that
  // carries a resource filter (even with modified_after 0) lists only the cache entries,
  // statistics, errors and statuses changed after that time.
  grpc::Status GetList(grpc::ServerContext* context, const zelph::GetListRequest* request,
                       zelph::GetListResponse* response) override;

  // Removes the objects of the URLs in request order (remove.cpp): every URL is checked
  // first and nothing is removed when one fails; the first removal that fails ends the call,
  // and what the URLs before it removed stays removed. A missing session or project of a
  // project, statistic or data removal leaves the handler as an exception, which gRPC
  // answers with UNKNOWN.
  grpc::Status Remove(grpc::ServerContext* context, const zelph::RemoveRequest* request,
                      zelph::RemoveResponse* response) override;

  // Editing a chain (chain_editing.cpp) ----------------------------------------------------
  // Each edit takes the project's lock exclusively, so it waits for a run in progress,
  // synchronous or asynchronous. Neither the request nor its state word is checked against
  // a run: the edit simply follows it.

  // A new worker of the model of "model_url" in the project of "url"; the reply is its URL.
  grpc::Status CreateWorker(grpc::ServerContext* context, const zelph::CreateWorkerRequest* request,
                            zelph::CreateWorkerResponse* response) override;
  // A link between two ports ("/session:{s}/project:{p}/worker:{w}/port:{q}"); the source
  // port's "/cache:{port}" entry is copied to the destination port's afterwards.
  grpc::Status CreateLink(grpc::ServerContext* context, const zelph::CreateLinkRequest* request,
                          zelph::CreateLinkResponse* response) override;
  // Re-plugs a link; a port URL without a port id unplugs that end. The cache is copied as by
  // CreateLink, with the port ids as given (an absent one gives the key "/cache:").
  grpc::Status UpdateLink(grpc::ServerContext* context, const zelph::UpdateLinkRequest* request,
                          zelph::UpdateLinkResponse* response) override;

  // Project configuration (project_configuration_rpcs.cpp) --------------------------------
  // Neither logs the request or a failure.

  // The configuration document of the project named by the URL's session and project ids
  // (the URL is not checked otherwise); empty text before a chain is loaded.
  grpc::Status GetProjectConfiguration(grpc::ServerContext* context,
                                       const zelph::GetProjectConfigurationRequest* request,
                                       zelph::GetProjectConfigurationResponse* response) override;
  // Applies the document in the request's file to the project of a "/session:{s}/project:{p}"
  // URL; another path is INTERNAL. A busy project is INTERNAL with its text.
  grpc::Status UploadProjectConfiguration(
      grpc::ServerContext* context, const zelph::UploadProjectConfigurationRequest* request,
      zelph::UploadProjectConfigurationResponse* response) override;

  // Loading a chain -------------------------------------------------------------------------

  // The chain text of the request's file into the project of a "/session:{s}/project:{p}"
  // URL; the reply carries the loaded chain's id. A busy project is INTERNAL with its text.
  grpc::Status UploadProject(grpc::ServerContext* context,
                             const zelph::UploadProjectRequest* request,
                             zelph::UploadProjectResponse* response) override;

  // The chain of a catalogued app, then optionally a template's configuration, into the
  // project named by the session and project ids of "project_url" (its path is not looked
  // at). Every failure is CANCELLED with an empty message; its cause goes to the error log
  // only. Apps and templates are found only once a client has listed the apps.
  grpc::Status LoadSolution(grpc::ServerContext* context, const zelph::LoadSolutionRequest* request,
                            zelph::LoadSolutionResponse* response) override;
  // A catalogued template's app, then the template's configuration; failures as above.
  grpc::Status LoadSolutionTemplate(grpc::ServerContext* context,
                                    const zelph::LoadSolutionTemplateRequest* request,
                                    zelph::LoadSolutionTemplateResponse* response) override;

  // Behind the API ----------------------------------------------------------------------------

  // For tests and tools that look behind the API; valid while the service lives.
  zelph::Store& GetStore() const { return *store_; }
  SolutionProvider& GetSolutionProvider() const { return *solutions_; }
  zelph::rpc::ReplyBudget& GetReplyBudget() const { return *reply_budget_; }

 private:
  // The project of the URL's session and project ids; failures quote the ids as client
  // text. Refreshes the session's idle deadline.
  std::shared_ptr<zelph::Project> GetProject(const ObjectUrl& url) const;
  // The worker of the URL's worker id in that project, held by its own reference; failures
  // as GetProject's, then "Executor not found with id: {}".
  std::shared_ptr<IDataProcess> GetWorker(const ObjectUrl& url) const;

  // ExecuteCommand's commands (execute_command.cpp); each checks and handles every URL.
  grpc::Status Evaluate(const zelph::ExecuteCommandRequest& request,
                        zelph::ExecuteCommandResponse& response);
  grpc::Status EvaluateAsync(const zelph::ExecuteCommandRequest& request,
                             zelph::ExecuteCommandResponse& response);
  grpc::Status Interrupt(const zelph::ExecuteCommandRequest& request,
                         zelph::ExecuteCommandResponse& response);
  grpc::Status EvaluateStep(const zelph::ExecuteCommandRequest& request,
                            zelph::ExecuteCommandResponse& response);
  grpc::Status ResetIterations(const zelph::ExecuteCommandRequest& request,
                               zelph::ExecuteCommandResponse& response);
  grpc::Status BuildPreview(const zelph::ExecuteCommandRequest& request,
                            zelph::ExecuteCommandResponse& response);

  // SetData targets, by path (set_data.cpp).
  grpc::Status SetWorkerProperty(const ObjectUrl& url, const zelph::SetDataRequest& request);
  grpc::Status SetWorkerSystemProperty(const ObjectUrl& url, const zelph::SetDataRequest& request);
  grpc::Status SetProjectProperty(const ObjectUrl& url, const zelph::SetDataRequest& request);
  grpc::Status SetSettingProperty(const ObjectUrl& url, const zelph::SetDataRequest& request);
  // Takes the bytes of a matrix or number value out of `request` (see StoreAnyDataInCache).
  grpc::Status SetCacheData(const ObjectUrl& url, zelph::SetDataRequest& request);
  grpc::Status SetProjectConfig(const ObjectUrl& url, const zelph::SetDataRequest& request);

  // GetData readers, one per path. Each appends at most one element for `url` to `response`
  // and answers its status; lookups that fail throw, and GetData answers INTERNAL with the
  // text. A reader with a `reply` makes elements that may be large (texts, descriptions,
  // documents) and reserves each in `reply` before it is copied into the response
  // (reply_element.h). Properties (get_data_properties.cpp):
  grpc::Status GetDataWorkerProperty(const ObjectUrl& url, zelph::GetDataResponse& response,
                                     zelph::rpc::ReplySize& reply);
  grpc::Status GetDataWorkerSystem(const ObjectUrl& url, zelph::GetDataResponse& response,
                                   zelph::rpc::ReplySize& reply);
  grpc::Status GetDataProjectProperty(const ObjectUrl& url, zelph::GetDataResponse& response,
                                      zelph::rpc::ReplySize& reply);
  grpc::Status GetProjectSettingProperty(const ObjectUrl& url, zelph::GetDataResponse& response,
                                         zelph::rpc::ReplySize& reply);
  // The project's objects (get_data_project.cpp). GetProject reads the chain text.
  grpc::Status GetProject(const ObjectUrl& url, zelph::GetDataResponse& response,
                          zelph::rpc::ReplySize& reply);
  grpc::Status GetProjectExecutionStatus(const ObjectUrl& url, zelph::GetDataResponse& response);
  grpc::Status GetDataProjectWorker(const ObjectUrl& url, zelph::GetDataResponse& response,
                                    zelph::rpc::ReplySize& reply);
  grpc::Status GetDataProjectLink(const ObjectUrl& url, zelph::GetDataResponse& response);
  grpc::Status GetProjectStatus(const ObjectUrl& url, zelph::GetDataResponse& response);
  grpc::Status GetWorkerStatus(const ObjectUrl& url, zelph::GetDataResponse& response);
  // Models, solutions, statistics and settings (get_data_descriptions.cpp).
  grpc::Status GetDataModel(const ObjectUrl& url, zelph::GetDataResponse& response,
                            zelph::rpc::ReplySize& reply);
  grpc::Status GetDataProjectModel(const ObjectUrl& url, zelph::GetDataResponse& response,
                                   zelph::rpc::ReplySize& reply);
  grpc::Status GetSolutionApp(const ObjectUrl& url, zelph::GetDataResponse& response);
  grpc::Status GetSolutionTemplate(const ObjectUrl& url, zelph::GetDataResponse& response);
  grpc::Status GetProjectStatistic(const ObjectUrl& url, zelph::GetDataResponse& response,
                                   zelph::rpc::ReplySize& reply);
  grpc::Status GetProjectError(const ObjectUrl& url, zelph::GetDataResponse& response);
  grpc::Status GetProjectSettings(const ObjectUrl& url, zelph::GetDataResponse& response,
                                  zelph::rpc::ReplySize& reply);
  grpc::Status GetProjectSetting(const ObjectUrl& url, zelph::GetDataResponse& response,
                                 zelph::rpc::ReplySize& reply);
  // The project cache entry under the URL's cache key (cached_data.cpp).
  grpc::Status GetCachedData(const ObjectUrl& url, zelph::GetDataResponse& response,
                             zelph::rpc::ReplySize& reply);

  // GetList's builders, one per path; each appends to `response` and answers its status.
  // Kinds and objects outside a project (get_list.cpp):
  grpc::Status ListRoot(const ObjectUrl& url, const zelph::GetListRequest& request,
                        zelph::GetListResponse& response);
  grpc::Status ListSolutionApps(const ObjectUrl& url, const zelph::GetListRequest& request,
                                zelph::GetListResponse& response);
  grpc::Status ListSolutionTemplates(const ObjectUrl& url, const zelph::GetListRequest& request,
                                     zelph::GetListResponse& response);
  grpc::Status ListSessionKinds(const ObjectUrl& url, const zelph::GetListRequest& request,
                                zelph::GetListResponse& response);
  grpc::Status ListSessions(const ObjectUrl& url, const zelph::GetListRequest& request,
                            zelph::GetListResponse& response);
  grpc::Status ListModels(const ObjectUrl& url, const zelph::GetListRequest& request,
                          zelph::GetListResponse& response);
  grpc::Status ListProjectKinds(const ObjectUrl& url, const zelph::GetListRequest& request,
                                zelph::GetListResponse& response);
  grpc::Status ListProjects(const ObjectUrl& url, const zelph::GetListRequest& request,
                            zelph::GetListResponse& response);
  // A project's objects (get_list_project.cpp):
  grpc::Status ListSettings(const ObjectUrl& url, const zelph::GetListRequest& request,
                            zelph::GetListResponse& response);
  grpc::Status ListStatuses(const ObjectUrl& url, const zelph::GetListRequest& request,
                            zelph::GetListResponse& response);
  grpc::Status ListProjectProperties(const ObjectUrl& url, const zelph::GetListRequest& request,
                                     zelph::GetListResponse& response);
  // With a worker id the kinds below a worker, without one the chain's workers.
  grpc::Status ListWorkers(const ObjectUrl& url, const zelph::GetListRequest& request,
                           zelph::GetListResponse& response);
  grpc::Status ListStatistics(const ObjectUrl& url, const zelph::GetListRequest& request,
                              zelph::GetListResponse& response);
  grpc::Status ListErrors(const ObjectUrl& url, const zelph::GetListRequest& request,
                          zelph::GetListResponse& response);
  grpc::Status ListWorkerProperties(const ObjectUrl& url, const zelph::GetListRequest& request,
                                    zelph::GetListResponse& response);
  grpc::Status ListWorkerSystemProperties(const ObjectUrl& url,
                                          const zelph::GetListRequest& request,
                                          zelph::GetListResponse& response);
  grpc::Status ListLinks(const ObjectUrl& url, const zelph::GetListRequest& request,
                         zelph::GetListResponse& response);
  grpc::Status ListProjectModels(const ObjectUrl& url, const zelph::GetListRequest& request,
                                 zelph::GetListResponse& response);
  grpc::Status ListCachedData(const ObjectUrl& url, const zelph::GetListRequest& request,
                              zelph::GetListResponse& response);

  // Remove's operations, one per path (remove.cpp), each with the project of its URL that
  // Remove looked up (null for sessions and projects); the worker and link removals run with
  // that project's lock held exclusively.
  grpc::Status RemoveWorker(const ObjectUrl& url, zelph::Project* project,
                            zelph::RemoveResponse& response);
  grpc::Status RemoveLink(const ObjectUrl& url, zelph::Project* project,
                          zelph::RemoveResponse& response);
  grpc::Status RemoveProject(const ObjectUrl& url, zelph::Project* project,
                             zelph::RemoveResponse& response);
  grpc::Status RemoveStatistic(const ObjectUrl& url, zelph::Project* project,
                               zelph::RemoveResponse& response);
  grpc::Status RemoveSession(const ObjectUrl& url, zelph::Project* project,
                             zelph::RemoveResponse& response);
  grpc::Status RemoveProjectData(const ObjectUrl& url, zelph::Project* project,
                                 zelph::RemoveResponse& response);

  // The bodies of CreateLink and UpdateLink once `url` is accepted (chain_editing.cpp).
  grpc::Status CreateProjectLink(const ObjectUrl& url, const zelph::CreateLinkRequest& request,
                                 zelph::CreateLinkResponse& response);
  grpc::Status UpdateProjectLink(const ObjectUrl& url, const zelph::UpdateLinkRequest& request);
  // The body of GetProjectConfiguration (project_configuration_rpcs.cpp); the document is
  // reserved in `reply` before it joins the response.
  grpc::Status ReadProjectConfiguration(const ObjectUrl& url,
                                        zelph::GetProjectConfigurationResponse& response,
                                        zelph::rpc::ReplySize& reply);

  // Before the store, whose removals of sessions note their data with it to the end.
  std::unique_ptr<zelph::rpc::ReplyBudget> reply_budget_;
  std::shared_ptr<zelph::Store> store_;
  SimplePluginsManager* plugins_;  // the process-wide registry; not owned
  std::unique_ptr<SolutionProvider> solutions_;
  std::unique_ptr<zelph::rpc::CallBounds> call_bounds_;  // null: calls are not bounded
};
