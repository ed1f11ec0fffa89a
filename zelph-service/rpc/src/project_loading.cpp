// project_loading.cpp
//
// UploadProject, LoadSolution and LoadSolutionTemplate: a chain into an existing project,
// from the client's text or from the solution catalogue.
#include <fmt/format.h>

#include <stdexcept>
#include <string>

#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/projects/project.h"
#include "zelph/projects/solution_provider.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/reply_size.h"
#include "zelph/rpc/zelph_service.h"

using zelph::QuoteClientText;

namespace {

std::shared_ptr<SolutionApp> FindApp(const SolutionProvider& solutions, const std::string& id) {
  std::shared_ptr<SolutionApp> app = solutions.FindApp(id);
  if (!app) {
    throw std::runtime_error(
        fmt::format("Solution app not found, solution app id: '{}'", QuoteClientText(id)));
  }
  return app;
}

std::shared_ptr<SolutionTemplate> FindTemplate(const SolutionProvider& solutions,
                                               const std::string& id) {
  std::shared_ptr<SolutionTemplate> found = solutions.FindTemplate(id);
  if (!found) {
    throw std::runtime_error(fmt::format("Solution template not found, solution template id: '{}'",
                                         QuoteClientText(id)));
  }
  return found;
}

}  // namespace

grpc::Status ZelphServiceV2Impl::UploadProject(grpc::ServerContext* context,
                                               const zelph::UploadProjectRequest* request,
                                               zelph::UploadProjectResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  zelph::Timer timer("UploadProject");
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Upload project: {}", QuoteClientText(request->url()));
  // The reply repeats the chain id of the client's text.
  return zelph::rpc::AnswerWhole(*reply_budget_, *request, *response, [&] {
    return zelph::rpc::LogIfFailed(zelph::rpc::RunGuarded([&] {
      if (grpc::Status status = ValidateObjectUrl(request->url()); !status.ok()) return status;
      const ObjectUrl url(request->url());
      if (url.GetPath() != "/session/project") {
        return MakeInvalidUrlStatus(request->url(), "/session/project expected");
      }
      const std::shared_ptr<zelph::Project> project = GetProject(url);
      // An unset file reads as one with empty data and path.
      // The id comes with the load: a second wait for the lock could end at the client's
      // deadline after the chain had changed.
      response->set_chain_id(
          project->UploadProject(request->file().data(), request->file().path()));
      return grpc::Status::OK;
    }));
  });
}

grpc::Status ZelphServiceV2Impl::LoadSolution(grpc::ServerContext* context,
                                              const zelph::LoadSolutionRequest* request,
                                              zelph::LoadSolutionResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  try {
    const std::shared_ptr<zelph::Project> project = GetProject(ObjectUrl(request->project_url()));
    const std::shared_ptr<SolutionApp> app = FindApp(*solutions_, request->solution_id());
    // Both are found before anything is loaded, so a wrong template id changes nothing.
    std::shared_ptr<SolutionTemplate> configuration;
    if (!request->solution_template_id().empty()) {
      configuration = FindTemplate(*solutions_, request->solution_template_id());
    }
    // The chain and its configuration in one hold of the project: neither a run nor the
    // client's deadline comes between them.
    response->set_chain_id(
        project->LoadProjectFile(app->file, configuration ? configuration->file : std::string()));
    return grpc::Status::OK;
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed load solution, error: {}", e.what());
  } catch (...) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed load solution, unknown reason");
  }
  return grpc::Status::CANCELLED;
}

grpc::Status ZelphServiceV2Impl::LoadSolutionTemplate(
    grpc::ServerContext* context, const zelph::LoadSolutionTemplateRequest* request,
    zelph::LoadSolutionTemplateResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  try {
    const std::shared_ptr<zelph::Project> project = GetProject(ObjectUrl(request->project_url()));
    const std::shared_ptr<SolutionTemplate> configuration =
        FindTemplate(*solutions_, request->solution_template_id());
    if (!configuration->app) throw std::runtime_error("Solution not found");
    response->set_chain_id(project->LoadProjectFile(configuration->app->file, configuration->file));
    return grpc::Status::OK;
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed load solution template, error: '{}'", e.what());
  } catch (...) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed load solution, unknown reason");
  }
  return grpc::Status::CANCELLED;
}
