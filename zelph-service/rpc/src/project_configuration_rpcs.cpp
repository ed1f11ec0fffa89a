// project_configuration_rpcs.cpp
//
// GetProjectConfiguration and UploadProjectConfiguration: a project's whole configuration
// document out to the client and back. Neither logs its request or its failures.
#include <memory>
#include <string>
#include <utility>

#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/projects/project.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"

grpc::Status ZelphServiceV2Impl::GetProjectConfiguration(
    grpc::ServerContext* context, const zelph::GetProjectConfigurationRequest* request,
    zelph::GetProjectConfigurationResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  // The document holds the texts the client uploaded: it is reserved once written, before it
  // joins the reply.
  zelph::rpc::ReplySize reply(*reply_budget_);
  grpc::Status status = zelph::rpc::RunGuarded(
      [&] { return ReadProjectConfiguration(ObjectUrl(request->url()), *response, reply); });
  if (status.ok()) status = reply.CountWhole(response->ByteSizeLong());
  return zelph::rpc::FinishReply(reply, std::move(status));
}

// Only the URL's session and project ids count: a worker's URL reads its project's document.
grpc::Status ZelphServiceV2Impl::ReadProjectConfiguration(
    const ObjectUrl& url, zelph::GetProjectConfigurationResponse& response,
    zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  std::string document = project->GetConfigurationJson();
  // The text is a field of the element, which is a field of the reply.
  if (grpc::Status status =
          reply.Reserve(zelph::rpc::ElementBytes(zelph::rpc::ElementBytes(document.size())));
      !status.ok()) {
    return status;
  }
  response.mutable_any()->set_string_val(std::move(document));
  return grpc::Status::OK;
}

// A path other than the project's is INTERNAL, not INVALID_ARGUMENT: clients have always
// seen it so.
grpc::Status ZelphServiceV2Impl::UploadProjectConfiguration(
    grpc::ServerContext* context, const zelph::UploadProjectConfigurationRequest* request,
    zelph::UploadProjectConfigurationResponse*) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  return zelph::rpc::RunGuarded([&] {
    const ObjectUrl url(request->url());
    if (url.GetPath() != "/session/project") {
      return grpc::Status(grpc::StatusCode::INTERNAL,
                          "Invalid resource url. /session:id/project:id supported");
    }
    if (grpc::Status status = ValidateObjectUrl(request->url()); !status.ok()) return status;
    GetProject(url)->UploadConfiguration(request->file().data());
    return grpc::Status::OK;
  });
}
