// call_bounds_test.cpp
//
// A service served with bounds: with as many calls in their handlers as the cap allows, the
// next call is refused, and served again once a handler has returned; a reply its client
// does not read gives back its budget once the send timeout has passed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "service_harness.h"
#include "zelph/api/transport_options.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/rpc/reply_budget.h"
#include "zelph/rpc/server_bounds.h"
#include "zelph/testing/test_plugin_control.h"
#include "zelph/testing/unread_reply.h"
#include "zelph/testing/wait_until.h"

namespace zelph::testing {
namespace {

constexpr int kCap = 4;
constexpr std::int64_t kMatrixBytes = std::int64_t{64} << 20;

grpc::Status ListSessions(Stub& stub) {
  GetListRequest request;
  request.set_url("/session");
  GetListResponse response;
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + ServiceHarness::kCallDeadline);
  return stub.GetList(&context, request, &response);
}

// The harness's service served on a loopback port with `bounds`, and a client stub.
class BoundedServer {
 public:
  BoundedServer(ServiceHarness& harness, const rpc::ServerBounds& bounds) {
    grpc::ServerBuilder builder;
    ApplyTransportOptions(builder);
    rpc::ApplyServerBounds(bounds, builder, harness.service());
    int port = 0;
    builder.AddListeningPort("127.0.0.1:0", grpc::InsecureServerCredentials(), &port);
    builder.RegisterService(&harness.service());
    server_ = builder.BuildAndStart();
    if (server_ == nullptr || port == 0) throw std::runtime_error("bounded server did not start");
    grpc::ChannelArguments arguments;
    ApplyTransportOptions(arguments);
    stub_ = ZelphServiceApiV2::NewStub(grpc::CreateCustomChannel(
        "127.0.0.1:" + std::to_string(port), grpc::InsecureChannelCredentials(), arguments));
  }
  ~BoundedServer() { server_->Shutdown(std::chrono::system_clock::now()); }

  Stub& stub() { return *stub_; }

 private:
  std::unique_ptr<grpc::Server> server_;
  std::unique_ptr<Stub> stub_;
};

TEST(CallBoundsTest, TheCallPastTheCapIsRefusedUntilAHandlerReturns) {
  ServiceHarness harness(Serving::kNone);
  BoundedServer server(harness, {kCap, 32, std::chrono::seconds(30), std::uint64_t{1} << 30});
  Stub* const stub = &server.stub();

  // Each synchronous run of a slow chain keeps its handler until the gate opens.
  Gate& gate = TestPluginControl::Get().SlowGate();
  gate.Close();
  std::vector<grpc::Status> runs(kCap);
  std::vector<std::thread> clients;
  for (int i = 0; i < kCap; ++i) {
    const std::string project = harness.NewProject();
    harness.UploadChain(project, "slow.json");
    clients.emplace_back([&, i, project] {
      ExecuteCommandRequest request;
      request.set_command(kEvaluate);
      request.add_url(project);
      ExecuteCommandResponse response;
      runs[i] = harness.Call(&Stub::ExecuteCommand, request, &response, stub);
    });
  }
  ASSERT_TRUE(gate.WaitForInside(kCap));
  const grpc::Status refused = ListSessions(*stub);
  EXPECT_EQ(refused.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
  EXPECT_EQ(refused.error_message(), "calls in progress would exceed 4");

  gate.Open();
  for (std::thread& client : clients) client.join();
  for (const grpc::Status& run : runs) EXPECT_TRUE(run.ok()) << run.error_message();
  EXPECT_TRUE(ListSessions(*stub).ok());
  ASSERT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(20)));
}

// A reply far larger than what a client's transport takes in unread stays in the server
// until its send time is over; then its call is cancelled and its budget is free, though
// the client still keeps the call open.
TEST(CallBoundsTest, AReplyUnsentWithinTheSendTimeoutGivesBackItsBudget) {
  ServiceHarness harness(Serving::kNone);
  BoundedServer server(harness, {kCap, 32, std::chrono::seconds(1), std::uint64_t{1} << 30});
  const std::string matrix = harness.NewProject() + "/input:matrix";
  SetDataRequest set;
  set.set_url(matrix);
  set.mutable_data()->set_url(matrix);
  GMat* mat = set.mutable_data()->mutable_mat();
  mat->set_channels(1);
  mat->add_dims(kMatrixBytes);
  mat->set_buffer(std::string(kMatrixBytes, 'm'));
  SetDataResponse stored;
  ASSERT_TRUE(harness.service().SetData(nullptr, &set, &stored).ok());

  GetDataRequest get;
  for (int i = 0; i < 4; ++i) get.add_url(matrix);
  const rpc::ReplyBudget& budget = harness.service().GetReplyBudget();
  const UnreadReply unread(server.stub(), get);
  ASSERT_TRUE(WaitUntil([&] { return budget.InFlight() > 0; }));
  EXPECT_TRUE(WaitUntil([&] { return budget.InFlight() == 0; }));
}

}  // namespace
}  // namespace zelph::testing
