// execute_command.cpp
//
// ExecuteCommand: runs, steps, interrupts and resets of projects, and worker previews. Every
// URL of the request is checked before any command runs; then the command goes to each URL
// in request order. A URL whose path the command does not take fails the call, but the
// URLs after it are still handled.
#include <fmt/format.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "call_bounds.h"
#include "handler_frame.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/projects/background_tasks.h"
#include "zelph/projects/project.h"
#include "zelph/projects/project_state.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/zelph_service.h"

namespace {

constexpr std::string_view kProjectPath = "/session/project";
constexpr std::string_view kWorkerPath = "/session/project/worker";

// What a command does to one URL whose path it takes.
using UrlAction = std::function<grpc::Status(const ObjectUrl& url)>;

// Checks every URL, then applies `action` to each one whose path is one of `paths`, in
// request order. The answer is the last failure (or OK): a path the command does not take
// is INVALID_ARGUMENT "Invalid url", and the next URL is handled all the same.
grpc::Status ForEachUrl(const zelph::ExecuteCommandRequest& request,
                        std::initializer_list<std::string_view> paths, const UrlAction& action) {
  for (const std::string& url : request.url()) {
    if (grpc::Status status = ValidateObjectUrl(url); !status.ok()) return status;
  }
  grpc::Status status;
  for (const std::string& text : request.url()) {
    const ObjectUrl url(text);
    bool taken = false;
    for (std::string_view path : paths) taken = taken || url.GetPath() == path;
    if (!taken) {
      status = grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "Invalid url");
      continue;
    }
    if (grpc::Status done = action(url); !done.ok()) status = done;
  }
  return status;
}

// Runs `run`; the reply says kOk when it ran and kCancelled when the project was busy. A run
// past the cap of runs in progress fails the URL with RESOURCE_EXHAUSTED, the project as it
// was.
grpc::Status RunUnlessBusy(zelph::ExecuteCommandResponse& response,
                           const std::function<void()>& run) {
  try {
    run();
    response.set_status(zelph::kOk);
  } catch (const zelph::EvaluateCancelled&) {
    response.set_status(zelph::kCancelled);
  } catch (const zelph::TooManyRuns& e) {
    return grpc::Status(grpc::StatusCode::RESOURCE_EXHAUSTED, e.what());
  }
  return grpc::Status::OK;
}

}  // namespace

grpc::Status ZelphServiceV2Impl::ExecuteCommand(grpc::ServerContext* context,
                                                const zelph::ExecuteCommandRequest* request,
                                                zelph::ExecuteCommandResponse* response) {
  const zelph::rpc::HandledCall call(call_bounds_.get(), context);
  if (call.Refused()) return call.Refusal();
  return zelph::rpc::RunGuarded([&] {
    switch (request->command()) {
      case zelph::kEvaluate:
        return Evaluate(*request, *response);
      case zelph::kEvaluateAsync:
        return EvaluateAsync(*request, *response);
      case zelph::kInterrupt:
        return Interrupt(*request, *response);
      case zelph::kEvaluateStep:
        return EvaluateStep(*request, *response);
      case zelph::kResetIterations:
        return ResetIterations(*request, *response);
      case zelph::kBuildPreview:
        return BuildPreview(*request, *response);
      default:  // kPlay, and any number the open enumeration brings
        return grpc::Status(
            grpc::StatusCode::INTERNAL,
            fmt::format("Unsupported command: {}", static_cast<int>(request->command())));
    }
  });
}

grpc::Status ZelphServiceV2Impl::Evaluate(const zelph::ExecuteCommandRequest& request,
                                          zelph::ExecuteCommandResponse& response) {
  return ForEachUrl(request, {kProjectPath, kWorkerPath}, [&](const ObjectUrl& url) {
    const std::shared_ptr<zelph::Project> project = GetProject(url);
    if (url.GetPath() == kProjectPath) {
      return RunUnlessBusy(response, [&] { project->Execute(); });
    }
    // An unknown worker is found before the state is touched and ends the request.
    const std::string worker_id(url.Node(UrlPlace::kWorker).GetId());
    zelph::rpc::FindWorker(*project, worker_id);
    return RunUnlessBusy(response, [&] { project->ExecuteWorker(worker_id); });
  });
}

grpc::Status ZelphServiceV2Impl::EvaluateAsync(const zelph::ExecuteCommandRequest& request,
                                               zelph::ExecuteCommandResponse& response) {
  return ForEachUrl(request, {kProjectPath, kWorkerPath}, [&](const ObjectUrl& url) {
    if (url.GetPath() == kWorkerPath) {
      return grpc::Status(grpc::StatusCode::UNIMPLEMENTED,
                          "Asynchronous evaluation of a single worker is not supported");
    }
    const std::shared_ptr<zelph::Project> project = GetProject(url);
    return RunUnlessBusy(response, [&] { project->ExecuteAsync(); });
  });
}

// Takes no project lock: a run holds it shared for its whole length, and the interrupt is
// what ends that run.
grpc::Status ZelphServiceV2Impl::Interrupt(const zelph::ExecuteCommandRequest& request,
                                           zelph::ExecuteCommandResponse& response) {
  return ForEachUrl(request, {kProjectPath}, [&](const ObjectUrl& url) {
    GetProject(url)->InterruptRun();
    response.set_status(zelph::kOk);
    return grpc::Status::OK;
  });
}

grpc::Status ZelphServiceV2Impl::EvaluateStep(const zelph::ExecuteCommandRequest& request,
                                              zelph::ExecuteCommandResponse& response) {
  return ForEachUrl(request, {kProjectPath}, [&](const ObjectUrl& url) {
    const std::shared_ptr<zelph::Project> project = GetProject(url);
    return RunUnlessBusy(response, [&] { project->ExecuteStep(); });
  });
}

grpc::Status ZelphServiceV2Impl::ResetIterations(const zelph::ExecuteCommandRequest& request,
                                                 zelph::ExecuteCommandResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Execute command reset iterations");
  return ForEachUrl(request, {kProjectPath}, [&](const ObjectUrl& url) {
    const std::shared_ptr<zelph::Project> project = GetProject(url);
    {
      std::shared_lock lock(project->GetLock());
      project->GetChain()->ResetWorkersState();
    }
    response.set_status(zelph::kOk);
    return grpc::Status::OK;
  });
}

grpc::Status ZelphServiceV2Impl::BuildPreview(const zelph::ExecuteCommandRequest& request,
                                              zelph::ExecuteCommandResponse& response) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Execute command build preview");
  return ForEachUrl(request, {kWorkerPath}, [&](const ObjectUrl& url) {
    const std::shared_ptr<zelph::Project> project = GetProject(url);
    const std::shared_ptr<IDataProcess> worker =
        zelph::rpc::FindWorker(*project, url.Node(UrlPlace::kWorker).GetId());
    // A worker with an error gets no preview, and no error either.
    if (!worker->HasLastError()) project->BuildPreview(worker);
    response.set_status(zelph::kOk);
    return grpc::Status::OK;
  });
}
