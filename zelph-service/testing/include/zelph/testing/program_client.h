// program_client.h
//
// Test support: a client of a zelph-service program started by a test (program_installation.h),
// over the generated stub with a deadline on every call, and the long evaluation that
// shutdown tests and benchmarks need: a project whose one Java worker ("Slow" of the Java test
// models, see ProgramInstallation::AddJavaTestModels) runs until it is interrupted.
//
//   ProgramClient client(installation.Address());
//   zelph::CreateSessionRequest request;
//   request.set_id("s1");
//   grpc::Status status = client.Call(&Stub::CreateSession, request);
//   std::thread run = client.StartSlowEvaluation(false);   // returns once the call is sent
//
// Threading: Call may be used from several threads at once.
#pragma once

#include <grpcpp/grpcpp.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "message/ZelphServiceApiV2.grpc.pb.h"

namespace zelph::testing {

using ProgramStub = ZelphServiceApiV2::Stub;

// A stub on a connection of its own that takes replies of any size, as the API's clients do:
// gRPC shares one connection between channels of equal settings, and tests of the bounds per
// connection need to tell connections apart.
std::unique_ptr<ProgramStub> NewConnection(const std::string& address);

// One call on `stub` that gives up after `deadline`; the reply goes to `response` when given.
template <typename Request, typename Response>
grpc::Status Call(ProgramStub& stub,
                  grpc::Status (ProgramStub::*method)(grpc::ClientContext*, const Request&,
                                                      Response*),
                  const Request& request, Response* response = nullptr,
                  std::chrono::milliseconds deadline = std::chrono::seconds(120)) {
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + deadline);
  Response ignored;
  return (stub.*method)(&context, request, response != nullptr ? response : &ignored);
}

class ProgramClient {
 public:
  static constexpr std::chrono::seconds kCallDeadline{120};

  explicit ProgramClient(const std::string& address);

  ProgramStub& stub() { return *stub_; }

  template <typename Request, typename Response>
  grpc::Status Call(grpc::Status (ProgramStub::*method)(grpc::ClientContext*, const Request&,
                                                        Response*),
                    const Request& request, Response* response = nullptr) {
    return testing::Call(*stub_, method, request, response, kCallDeadline);
  }

  // The Java test models a chain of one worker can run (ProgramInstallation::AddJavaTestModels):
  // Slow runs until it is interrupted, Lingering goes on for 15 s after its interrupt.
  enum class JavaTestModel { kSlow, kLingering };

  // Creates session `session` with project "p" and uploads the chain of one worker of
  // `model`; answers the project's URL. Throws std::runtime_error when a step fails.
  std::string LoadOneWorkerProject(const std::string& session, JavaTestModel model);

  // Loads session "slow" with project "/session:slow/project:p" and its Slow worker
  // (LoadOneWorkerProject) and evaluates it on the returned thread (kEvaluateAsync when
  // `async`), which ends when the call has been answered. Throws std::runtime_error when the
  // set-up fails.
  std::thread StartSlowEvaluation(bool async);

 private:
  std::unique_ptr<ProgramStub> stub_;
};

}  // namespace zelph::testing
