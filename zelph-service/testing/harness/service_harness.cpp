// service_harness.cpp
//
// Start and stop of the served service, and the set-up calls of the harness.
#include "service_harness.h"

#include <fmt/format.h>

#include <mutex>
#include <stdexcept>

#include "zelph/config/zelph_config.h"
#include "zelph/projects/project.h"
#include "zelph/projects/solution_provider.h"
#include "zelph/projects/store.h"
#include "zelph/rpc/object_url.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {
namespace {

// The configuration is written at start-up only, before any service thread reads it.
void ConfigureProcessOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    LoadServiceTestPlugin();
    ZelphConfig* config = ZelphConfig::GetInstance();
    config->SetSolutionAppsDir(SolutionAppsFolder());
    config->SetSolutionConfigurationsDir(SolutionTemplatesFolder());
  });
}

void Expect(const grpc::Status& status, const char* call) {
  if (!status.ok()) {
    throw std::runtime_error(fmt::format(
        "{} failed: {} {}", call, static_cast<int>(status.error_code()), status.error_message()));
  }
}

}  // namespace

ServiceHarness::ServiceHarness(Serving serving,
                               std::optional<std::uint64_t> max_reply_bytes_in_flight) {
  ConfigureProcessOnce();
  service_ = max_reply_bytes_in_flight
                 ? std::make_unique<ZelphServiceV2Impl>(*max_reply_bytes_in_flight, nullptr)
                 : std::make_unique<ZelphServiceV2Impl>();
  if (serving == Serving::kLoopback) {
    server_ = std::make_unique<LoopbackServer>(*service_);
    stub_ = server_->NewStub();
  }
}

ServiceHarness::~ServiceHarness() {
  stub_.reset();
  server_.reset();
  service_.reset();
}

std::string ServiceHarness::NewSession() {
  CreateSessionRequest request;
  request.set_id(fmt::format("s{}", ++last_id_));
  CreateSessionResponse response;
  Expect(service_->CreateSession(nullptr, &request, &response), "CreateSession");
  return "/session:" + request.id();
}

std::string ServiceHarness::NewProject() { return NewProject(NewSession()); }

std::string ServiceHarness::NewProject(const std::string& session_url) {
  CreateProjectRequest request;
  request.set_url(fmt::format("{}/project:p{}", session_url, ++last_id_));
  CreateProjectResponse response;
  Expect(service_->CreateProject(nullptr, &request, &response), "CreateProject");
  return response.url();
}

std::string ServiceHarness::UploadChain(const std::string& project_url, const std::string& name) {
  UploadProjectRequest request;
  request.set_url(project_url);
  request.mutable_file()->set_data(ChainText(name));
  request.mutable_file()->set_path(ChainFile(name));
  UploadProjectResponse response;
  Expect(service_->UploadProject(nullptr, &request, &response), "UploadProject");
  return response.chain_id();
}

void ServiceHarness::ListApps() {
  const ZelphConfig* config = ZelphConfig::GetInstance();
  service_->GetSolutionProvider().Scan(config->GetSolutionAppsDir(),
                                       config->GetSolutionTemplateDir());
}

std::shared_ptr<Project> ServiceHarness::ProjectOf(const std::string& url) const {
  const ObjectUrl parsed(url);
  return service_->GetStore().GetProject(std::string(parsed.Node(UrlPlace::kSession).GetId()),
                                         std::string(parsed.Node(UrlPlace::kProject).GetId()));
}

}  // namespace zelph::testing
