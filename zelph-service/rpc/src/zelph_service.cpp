// zelph_service.cpp
//
// The service object's construction and destruction, and the creation of sessions and
// projects.
#include "zelph/rpc/zelph_service.h"

#include <fmt/format.h>

#include <string>
#include <utility>

#include "cached_data_bytes.h"
#include "call_bounds.h"
#include "call_scope.h"
#include "handler_frame.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"
#include "zelph/projects/solution_provider.h"
#include "zelph/projects/store.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_budget.h"
#include "zelph/rpc/reply_size.h"

using zelph::QuoteClientText;
using zelph::rpc::LogIfFailed;
using zelph::rpc::RunGuarded;

ZelphServiceV2Impl::ZelphServiceV2Impl(std::uint64_t max_reply_bytes_in_flight,
                                       std::function<void()> on_replies_drained)
    : reply_budget_(std::make_unique<zelph::rpc::ReplyBudget>(max_reply_bytes_in_flight,
                                                              std::move(on_replies_drained))),
      // A session removed or expired frees its projects' data: its memory goes back as
      // drained replies' does.
      store_(
          std::make_shared<zelph::Store>([budget = reply_budget_.get()](zelph::Session& session) {
            budget->NoteFreed(zelph::rpc::CachedDataBytes(session));
          })),
      plugins_(SimplePluginsManager::GetInstance()),
      solutions_(std::make_unique<SolutionProvider>()) {
  zelph::rpc::InstallCallScopes();
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Default solution provider created");
}

ZelphServiceV2Impl::ZelphServiceV2Impl()
    : ZelphServiceV2Impl(ZelphConfig::GetInstance()->GetMaxReplyBytesInFlight(), {}) {}

void ZelphServiceV2Impl::BoundCalls(int max_handler_threads,
                                    std::chrono::seconds reply_send_timeout) {
  call_bounds_ = std::make_unique<zelph::rpc::CallBounds>(max_handler_threads, reply_send_timeout);
}

// The catalogue goes first, then the store, then the budget; the members' reverse order says
// exactly that.
ZelphServiceV2Impl::~ZelphServiceV2Impl() = default;

std::shared_ptr<zelph::Project> ZelphServiceV2Impl::GetProject(const ObjectUrl& url) const {
  return zelph::rpc::FindProject(*store_, url.Node(UrlPlace::kSession).GetId(),
                                 url.Node(UrlPlace::kProject).GetId());
}

std::shared_ptr<IDataProcess> ZelphServiceV2Impl::GetWorker(const ObjectUrl& url) const {
  return zelph::rpc::FindWorker(*GetProject(url), url.Node(UrlPlace::kWorker).GetId());
}

grpc::Status ZelphServiceV2Impl::CreateSession(grpc::ServerContext* context,
                                               const zelph::CreateSessionRequest* request,
                                               zelph::CreateSessionResponse*) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Create session: {}", QuoteClientText(request->id()));
  return LogIfFailed(RunGuarded([&] {
    store_->CreateSession(request->id());
    return grpc::Status::OK;
  }));
}

grpc::Status ZelphServiceV2Impl::CreateProject(grpc::ServerContext* context,
                                               const zelph::CreateProjectRequest* request,
                                               zelph::CreateProjectResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Create project, url: {}", QuoteClientText(request->url()));
  // The reply repeats the client's ids.
  return zelph::rpc::AnswerWhole(*reply_budget_, *request, *response, [&] {
    return LogIfFailed(RunGuarded([&] {
      if (grpc::Status status = ValidateObjectUrl(request->url()); !status.ok()) return status;
      const ObjectUrl url(request->url());
      const std::string& path = url.GetPath();
      if (path != "/session" && path != "/session/project") {
        return MakeInvalidUrlStatus(request->url(), "/session or /session/project expected");
      }
      const std::string session_id(url.Node(UrlPlace::kSession).GetId());
      const std::shared_ptr<zelph::Session> session = zelph::rpc::FindSession(*store_, session_id);
      std::string project_id;
      if (path == "/session") {
        project_id = session->CreateProject();
      } else {
        project_id = url.Node(UrlPlace::kProject).GetId();
        session->CreateProject(project_id);
      }
      response->set_url(fmt::format("/session:{}/project:{}", session_id, project_id));
      return grpc::Status::OK;
    }));
  });
}
