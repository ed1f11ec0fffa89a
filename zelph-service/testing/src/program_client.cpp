// program_client.cpp
#include "zelph/testing/program_client.h"

#include <stdexcept>

namespace zelph::testing {
namespace {

constexpr char kProject[] = "/session:slow/project:p";

// "Slow" of the Java test models, without ports.
constexpr char kSlowChain[] = R"({"app": "zelph-project", "version": "1.1", "zelph_chain": {
  "executor": {"uuid": "c4a10000-0000-4000-8000-00000000aaaa", "name": "slow"},
  "blocks": [{"uuid": "c4a10000-0000-4000-8000-00000000aaa1",
              "executor_id": "3b7e2a10-5c1d-4e8f-9a01-000000000008", "executor_name": "Slow",
              "ports": []}],
  "links": []}})";

void Require(const grpc::Status& status, const char* step) {
  if (!status.ok()) throw std::runtime_error(std::string(step) + ": " + status.error_message());
}

}  // namespace

ProgramClient::ProgramClient(const std::string& address)
    : stub_(ZelphServiceApiV2::NewStub(
          grpc::CreateChannel(address, grpc::InsecureChannelCredentials()))) {}

std::thread ProgramClient::StartSlowEvaluation(bool async) {
  CreateSessionRequest session;
  session.set_id("slow");
  Require(Call(&ProgramStub::CreateSession, session), "CreateSession");
  CreateProjectRequest project;
  project.set_url(kProject);
  Require(Call(&ProgramStub::CreateProject, project), "CreateProject");
  UploadProjectRequest upload;
  upload.set_url(kProject);
  upload.mutable_file()->set_data(kSlowChain);
  Require(Call(&ProgramStub::UploadProject, upload), "UploadProject");
  ExecuteCommandRequest run;
  run.add_url(kProject);
  run.set_command(async ? kEvaluateAsync : kEvaluate);
  return std::thread([this, run] { Call(&ProgramStub::ExecuteCommand, run); });
}

}  // namespace zelph::testing
