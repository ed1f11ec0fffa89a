// project_loading.cpp
//
// UploadProject, LoadSolution and LoadSolutionTemplate: a chain into an existing project,
// from the client's text or from the solution catalogue.
#include <fmt/format.h>

#include <string>

#include "handler_frame.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/projects/project.h"
#include "zelph/rpc/client_text.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/zelph_service.h"

using zelph::rpc::QuoteClientText;

grpc::Status ZelphServiceV2Impl::UploadProject(grpc::ServerContext*,
                                               const zelph::UploadProjectRequest* request,
                                               zelph::UploadProjectResponse* response) {
  zelph::Timer timer("UploadProject");
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Upload project: {}", QuoteClientText(request->url()));
  return zelph::rpc::LogIfFailed(zelph::rpc::RunGuarded([&] {
    if (grpc::Status status = ValidateObjectUrl(request->url()); !status.ok()) return status;
    const ObjectUrl url(request->url());
    if (url.GetPath() != "/session/project") {
      return MakeInvalidUrlStatus(request->url(), "/session/project expected");
    }
    const std::shared_ptr<zelph::Project> project = GetProject(url);
    // An unset file reads as one with empty data and path.
    project->UploadProject(request->file().data(), request->file().path());
    response->set_chain_id(zelph::rpc::ChainIdOf(*project));
    return grpc::Status::OK;
  }));
}
