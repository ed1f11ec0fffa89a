// service_harness.h
//
// The service as its clients meet it, for the tests and benchmarks of the API: a fresh
// ZelphServiceV2Impl served in-process on a free loopback port, called through the
// generated client stub, with the service test plug-in loaded and the solution folders set
// to the shared fixtures (zelph-service/testing).
//
//   zelph::testing::ServiceHarness harness;
//   const std::string project = harness.NewProject();              // "/session:s1/project:p1"
//   harness.UploadChain(project, "line.json");
//   zelph::SetDataRequest request;
//   ...
//   grpc::Status status = harness.Call(&Stub::SetData, request);
//   harness.ProjectOf(project)->GetCache("/input:x");              // behind the API
//
// A test program links zelph-service-harness and calls zelph_use_service_allocator on
// itself. Each harness has its own service (store, sessions, catalogue); the plug-in
// manager, the configuration and the background work of runs and previews
// (ServiceBackgroundTasks, whose WaitIdle waits for asynchronous runs and previews) are
// process-wide and shared by every harness of the process.
//
// Tests judged by the thread sanitizer call the handlers directly (Serving::kNone, then
// service().SetData(nullptr, &request, &response)): the gRPC libraries of the system are not
// instrumented, so the sanitizer cannot see how they hand a call from thread to thread and
// reports the transport instead of the handlers. The set-up helpers call the handlers
// directly in either mode; the handlers do not read the server context.
//
// Threading: Call, the set-up helpers and ProjectOf may be used from several threads at
// once; for many concurrent clients give each its own stub (NewStub).
#pragma once

#include <grpcpp/grpcpp.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "loopback_server.h"
#include "message/ZelphServiceApiV2.grpc.pb.h"
#include "zelph/rpc/zelph_service.h"

namespace zelph {
class Project;
}  // namespace zelph

namespace zelph::testing {

using Stub = ZelphServiceApiV2::Stub;

template <typename Request, typename Response>
using StubMethod = grpc::Status (Stub::*)(grpc::ClientContext*, const Request&, Response*);

// Whether the harness serves its service on a loopback port.
enum class Serving { kLoopback, kNone };

class ServiceHarness {
 public:
  // A call that takes longer than this fails with DEADLINE_EXCEEDED instead of hanging.
  static constexpr std::chrono::seconds kCallDeadline{60};

  // Loads the test plug-in (once per process), points the configured solution folders at
  // the fixtures, and makes the service, served on a loopback port unless `serving` is
  // kNone (then stub(), NewStub() and Call must not be used). The service's budget of reply
  // bytes in flight is the configured one unless `max_reply_bytes_in_flight` is given.
  // Throws when the server cannot start.
  explicit ServiceHarness(Serving serving = Serving::kLoopback,
                          std::optional<std::uint64_t> max_reply_bytes_in_flight = {});
  // Shuts the server down (waiting for calls in flight), then destroys the service.
  ~ServiceHarness();
  ServiceHarness(const ServiceHarness&) = delete;
  ServiceHarness& operator=(const ServiceHarness&) = delete;

  ZelphServiceV2Impl& service() { return *service_; }
  Stub& stub() { return *stub_; }
  // A stub on a channel of its own.
  std::unique_ptr<Stub> NewStub() const { return server_->NewStub(); }
  // A channel of its own, for requests sent as raw bytes (grpc::GenericStub).
  std::shared_ptr<grpc::Channel> NewChannel() const { return server_->NewChannel(); }

  // One call of `method` on `stub` (the harness's own by default), with kCallDeadline.
  template <typename Request, typename Response>
  grpc::Status Call(StubMethod<Request, Response> method, const Request& request,
                    Response* response, Stub* on = nullptr) {
    grpc::ClientContext context;
    context.set_deadline(std::chrono::system_clock::now() + kCallDeadline);
    return ((on != nullptr ? on : stub_.get())->*method)(&context, request, response);
  }
  // The same when the reply does not matter.
  template <typename Request, typename Response>
  grpc::Status Call(StubMethod<Request, Response> method, const Request& request) {
    Response response;
    return Call(method, request, &response);
  }

  // Set-up through the handlers. Each throws std::runtime_error naming the call, the status
  // code and its message when the call fails.
  // A new session with an id unique in this harness; answers "/session:{id}".
  std::string NewSession();
  // A new project of a new session, or of `session_url`; answers its URL.
  std::string NewProject();
  std::string NewProject(const std::string& session_url);
  // Uploads the chain file `name` of the fixtures into the project; answers the chain id.
  std::string UploadChain(const std::string& project_url, const std::string& name);

  // What a client's listing of the apps does before it answers: the catalogue is rebuilt
  // from the configured (fixture) folders. Until then the solution methods find nothing.
  void ListApps();

  // The project of a "/session:{s}/project:{p}..." URL, for looking behind the API.
  std::shared_ptr<Project> ProjectOf(const std::string& url) const;

 private:
  std::unique_ptr<ZelphServiceV2Impl> service_;
  std::unique_ptr<LoopbackServer> server_;
  std::unique_ptr<Stub> stub_;
  std::atomic<int> last_id_{0};
};

}  // namespace zelph::testing
