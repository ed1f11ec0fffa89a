// chain_editing.cpp
//
// CreateWorker, CreateLink and UpdateLink: a client builds and re-wires a project's chain.
// The link methods carry the source port's cached data over to the destination port, whose
// "/cache:{port}" entry is what a run of that worker alone reads as its input.
#include <fmt/format.h>

#include <memory>
#include <mutex>
#include <string>

#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/project.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"

using zelph::QuoteClientText;
using zelph::rpc::IdOf;
using zelph::rpc::LogIfFailed;
using zelph::rpc::RunGuarded;

namespace {

// The destination port's entry refers to the source's data (none when the source has no
// entry), stamped now.
void CopyPortCache(zelph::Project& project, const std::string& source_port_id,
                   const std::string& destination_port_id) {
  project.SetCache("/cache:" + destination_port_id,
                   project.GetCache("/cache:" + source_port_id).data);
}

}  // namespace

grpc::Status ZelphServiceV2Impl::CreateWorker(grpc::ServerContext* context,
                                              const zelph::CreateWorkerRequest* request,
                                              zelph::CreateWorkerResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  // The reply repeats the client's project URL.
  return zelph::rpc::AnswerWhole(*reply_budget_, *request, *response, [&] {
    return LogIfFailed(RunGuarded([&] {
      if (grpc::Status status = ValidateObjectUrl(request->url()); !status.ok()) return status;
      if (grpc::Status status = ValidateObjectUrl(request->model_url()); !status.ok())
        return status;
      // The model is the deepest node "model_url" selected, whatever its kind.
      const ObjectUrl model_url(request->model_url());
      const std::optional<ObjectUrlNode> model_node = model_url.GetMatchedNode();
      const std::string model_id(model_node ? model_node->GetId() : std::string_view());
      const std::shared_ptr<IDataProcessModel> model = plugins_->FindModel(model_id);
      if (!model) {
        throw std::runtime_error(fmt::format("Model not found: {}", QuoteClientText(model_id)));
      }
      const ObjectUrl url(request->url());
      if (!url.GetPath().starts_with("/session/project")) {
        return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT,
                            "Invalid url only /session/project path supported");
      }
      const std::shared_ptr<zelph::Project> project = GetProject(url);
      // The worker belongs to the project's plug-in session, as those of a loaded chain do.
      const std::shared_ptr<IDataProcess> worker =
          model->CreateAndInitializeWorker(model, project->GetPluginSessionKey());
      if (!worker) return grpc::Status(grpc::StatusCode::INTERNAL, "Failed create worker");
      const std::string worker_url =
          url.Node(UrlPlace::kProject).BuildUrl() + "/worker:" + worker->GetId();
      {
        std::unique_lock lock(project->GetLock());
        project->GetChain()->AddWorker(worker);
      }
      response->set_url(worker_url);
      return grpc::Status::OK;
    }));
  });
}

grpc::Status ZelphServiceV2Impl::CreateLink(grpc::ServerContext* context,
                                            const zelph::CreateLinkRequest* request,
                                            zelph::CreateLinkResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  // The reply repeats the client's project URL.
  return zelph::rpc::AnswerWhole(*reply_budget_, *request, *response, [&] {
    return LogIfFailed(RunGuarded([&] {
      if (grpc::Status status = ValidateObjectUrl(request->url()); !status.ok()) return status;
      const ObjectUrl url(request->url());
      if (url.GetPath() != "/session/project") {
        return MakeInvalidUrlStatus(request->url(), "/session/project expected");
      }
      return CreateProjectLink(url, *request, *response);
    }));
  });
}

// The ports' own session and project segments are not looked at: the ports are those of the
// project of the request's URL.
grpc::Status ZelphServiceV2Impl::CreateProjectLink(const ObjectUrl& url,
                                                   const zelph::CreateLinkRequest& request,
                                                   zelph::CreateLinkResponse& response) {
  if (grpc::Status status = ValidateObjectUrl(request.src_url()); !status.ok()) return status;
  if (grpc::Status status = ValidateObjectUrl(request.dst_url()); !status.ok()) return status;
  constexpr char kPortPath[] = "/session/project/worker/port";
  const ObjectUrl source(request.src_url());
  if (source.GetPath() != kPortPath) {
    return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "Source port url invalid");
  }
  const ObjectUrl destination(request.dst_url());
  if (destination.GetPath() != kPortPath) {
    return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "Destination port url invalid");
  }
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string source_port = IdOf(source, UrlPlace::kWorkerPort);
  const std::string destination_port = IdOf(destination, UrlPlace::kWorkerPort);
  const std::string link_id =
      project->CreateLink(IdOf(source, UrlPlace::kWorker), source_port,
                          IdOf(destination, UrlPlace::kWorker), destination_port);
  response.set_url(fmt::format("{}/link:{}", url.Node(UrlPlace::kProject).BuildUrl(), link_id));
  CopyPortCache(*project, source_port, destination_port);
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::UpdateLink(grpc::ServerContext* context,
                                            const zelph::UpdateLinkRequest* request,
                                            zelph::UpdateLinkResponse*) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  return LogIfFailed(RunGuarded([&] {
    if (grpc::Status status = ValidateObjectUrl(request->url()); !status.ok()) return status;
    const ObjectUrl url(request->url());
    if (url.GetPath() != "/session/project/link") {
      return MakeInvalidUrlStatus(request->url(), "/session/project/link expected");
    }
    return UpdateProjectLink(url, *request);
  }));
}

// The port URLs are not checked: one that does not name a port (its worker or port segment
// missing, or without an id) unplugs its end of the link.
grpc::Status ZelphServiceV2Impl::UpdateProjectLink(const ObjectUrl& url,
                                                   const zelph::UpdateLinkRequest& request) {
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string source_port = IdOf(ObjectUrl(request.src_url()), UrlPlace::kWorkerPort);
  const std::string destination_port = IdOf(ObjectUrl(request.dst_url()), UrlPlace::kWorkerPort);
  project->UpdateLink(IdOf(url, UrlPlace::kLink), source_port, destination_port);
  CopyPortCache(*project, source_port, destination_port);
  return grpc::Status::OK;
}
