// handler_frame.h
//
// The frame every handler of ZelphServiceV2Impl shares, beyond the URL checks of
// object_url.h: the work in a block that answers a std::exception as INTERNAL with its text,
// the error line of a failed status, and the store and project lookups whose failure texts
// quote the client's ids.
//
//   ZELPH_LOG(ZelphSeverityLevel::kTrace, "Create project, url: {}", QuoteClientText(url));
//   return LogIfFailed(RunGuarded([&] { ... return grpc::Status::OK; }));
//
// Exceptions that are no std::exception leave the handler; gRPC answers them with UNKNOWN.
#pragma once

#include <grpcpp/support/status.h>

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "zelph/projects/wait_limit.h"
#include "zelph/rpc/object_url.h"

class IDataProcess;

namespace zelph {
class Project;
class Session;
class Store;
}  // namespace zelph

namespace zelph::rpc {

// The status of `work()`; DEADLINE_EXCEEDED or CANCELLED when it gave up waiting for a
// project's lock at its client's deadline or cancellation (wait_limit.h), having changed
// nothing; otherwise INTERNAL with the text of the std::exception it threw.
template <typename Work>
grpc::Status RunGuarded(Work&& work) {
  try {
    return work();
  } catch (const WaitAbandoned& e) {
    return grpc::Status(e.End() == WaitEnd::kDeadline ? grpc::StatusCode::DEADLINE_EXCEEDED
                                                      : grpc::StatusCode::CANCELLED,
                        e.what());
  } catch (const std::exception& e) {
    return grpc::Status(grpc::StatusCode::INTERNAL, e.what());
  }
}

// Logs the message of a failed status alone at error level; answers the status.
grpc::Status LogIfFailed(grpc::Status status);

// ValidateObjectUrl of the URL rebuilt from `url` up to its project ("/session:{s}/project:{p}")
// or up to its worker: for the handlers that check only that part of their URL.
grpc::Status ValidateProjectPart(const ObjectUrl& url);
grpc::Status ValidateWorkerPart(const ObjectUrl& url);

// Store::GetSession with the failure text "Session not found: {}" quoting the id as client
// text. Does not refresh the session's idle deadline.
std::shared_ptr<Session> FindSession(const Store& store, std::string_view session_id);

// Store::GetProject with the failure texts "Session not found: {}" and "Project not found:
// {}" quoting the ids as client text. Refreshes the session's idle deadline.
std::shared_ptr<Project> FindProject(const Store& store, std::string_view session_id,
                                     std::string_view project_id);

// Project::GetWorker (by system name, then id, under the shared lock) with the failure text
// "Executor not found with id: {}" quoting the id as client text.
std::shared_ptr<IDataProcess> FindWorker(const Project& project, std::string_view worker_id);

// The id of `url`'s node at `place`, empty when the node has none.
inline std::string IdOf(const ObjectUrl& url, UrlPlace place) {
  return std::string(url.Node(place).GetId());
}

}  // namespace zelph::rpc
