// program_client.cpp
#include "zelph/testing/program_client.h"

#include <stdexcept>

#include "zelph/api/transport_options.h"

namespace zelph::testing {
namespace {

// A chain of one worker of the Java test model with that id and name, without ports.
std::string OneWorkerChain(const char* model_id, const char* model_name) {
  return std::string(R"({"app": "zelph-project", "version": "1.1", "zelph_chain": {
  "executor": {"uuid": "c4a10000-0000-4000-8000-00000000aaaa", "name": "one worker"},
  "blocks": [{"uuid": "c4a10000-0000-4000-8000-00000000aaa1", "executor_id": ")") +
         model_id + R"(", "executor_name": ")" + model_name + R"(", "ports": []}],
  "links": []}})";
}

void Require(const grpc::Status& status, const char* step) {
  if (!status.ok()) throw std::runtime_error(std::string(step) + ": " + status.error_message());
}

}  // namespace

std::unique_ptr<ProgramStub> NewConnection(const std::string& address) {
  grpc::ChannelArguments arguments;
  ApplyTransportOptions(arguments);
  arguments.SetInt(GRPC_ARG_USE_LOCAL_SUBCHANNEL_POOL, 1);
  return ZelphServiceApiV2::NewStub(
      grpc::CreateCustomChannel(address, grpc::InsecureChannelCredentials(), arguments));
}

ProgramClient::ProgramClient(const std::string& address)
    : stub_(ZelphServiceApiV2::NewStub(
          grpc::CreateChannel(address, grpc::InsecureChannelCredentials()))) {}

std::string ProgramClient::LoadOneWorkerProject(const std::string& session_id,
                                                JavaTestModel model) {
  CreateSessionRequest session;
  session.set_id(session_id);
  Require(Call(&ProgramStub::CreateSession, session), "CreateSession");
  const std::string url = "/session:" + session_id + "/project:p";
  CreateProjectRequest project;
  project.set_url(url);
  Require(Call(&ProgramStub::CreateProject, project), "CreateProject");
  UploadProjectRequest upload;
  upload.set_url(url);
  upload.mutable_file()->set_data(
      model == JavaTestModel::kSlow
          ? OneWorkerChain("3b7e2a10-5c1d-4e8f-9a01-000000000008", "Slow")
          : OneWorkerChain("3b7e2a10-5c1d-4e8f-9a01-00000000000b", "Lingering"));
  Require(Call(&ProgramStub::UploadProject, upload), "UploadProject");
  return url;
}

std::thread ProgramClient::StartSlowEvaluation(bool async) {
  ExecuteCommandRequest run;
  run.add_url(LoadOneWorkerProject("slow", JavaTestModel::kSlow));
  run.set_command(async ? kEvaluateAsync : kEvaluate);
  return std::thread([this, run] { Call(&ProgramStub::ExecuteCommand, run); });
}

}  // namespace zelph::testing
