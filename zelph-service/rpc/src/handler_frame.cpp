// handler_frame.cpp
//
// The failure log and the lookups of the handler frame.
#include "handler_frame.h"

#include <fmt/format.h>

#include <stdexcept>
#include <string>

#include "zelph/chain/exception.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"
#include "zelph/projects/store.h"
#include "zelph/rpc/object_url.h"

namespace zelph::rpc {

grpc::Status LogIfFailed(grpc::Status status) {
  if (!status.ok()) ZELPH_LOG(ZelphSeverityLevel::kError, "{}", status.error_message());
  return status;
}

grpc::Status ValidateProjectPart(const ObjectUrl& url) {
  return ValidateObjectUrl(url.Node(UrlPlace::kProject).BuildUrl());
}

grpc::Status ValidateWorkerPart(const ObjectUrl& url) {
  return ValidateObjectUrl(url.Node(UrlPlace::kWorker).BuildUrl());
}

// The store's own texts carry the whole ids; these quote them, so that a megabyte of id
// never comes back in a reply.
std::shared_ptr<Session> FindSession(const Store& store, std::string_view session_id) {
  try {
    return store.GetSession(std::string(session_id));
  } catch (const Exception&) {
    throw Exception(fmt::format("Session not found: {}", QuoteClientText(session_id)));
  }
}

std::shared_ptr<Project> FindProject(const Store& store, std::string_view session_id,
                                     std::string_view project_id) {
  const std::shared_ptr<Session> session = FindSession(store, session_id);
  try {
    return session->GetProject(std::string(project_id));
  } catch (const Exception&) {
    throw Exception(fmt::format("Project not found: {}", QuoteClientText(project_id)));
  }
}

std::shared_ptr<IDataProcess> FindWorker(const Project& project, std::string_view worker_id) {
  try {
    return project.GetWorker(std::string(worker_id));
  } catch (const std::runtime_error&) {
    throw std::runtime_error(
        fmt::format("Executor not found with id: {}", QuoteClientText(worker_id)));
  }
}

}  // namespace zelph::rpc
