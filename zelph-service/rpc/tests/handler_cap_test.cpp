// handler_cap_test.cpp
//
// The handler cap of a bounded service: with as many calls in their handlers as the cap
// allows, the next call is refused, and served again once a handler has returned.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service_harness.h"
#include "zelph/api/transport_options.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/rpc/server_bounds.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

constexpr int kCap = 4;

grpc::Status ListSessions(Stub& stub) {
  GetListRequest request;
  request.set_url("/session");
  GetListResponse response;
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + ServiceHarness::kCallDeadline);
  return stub.GetList(&context, request, &response);
}

TEST(HandlerCapTest, TheCallPastTheCapIsRefusedUntilAHandlerReturns) {
  ServiceHarness harness(Serving::kNone);
  grpc::ServerBuilder builder;
  ApplyTransportOptions(builder);
  rpc::ApplyServerBounds({kCap, 32, std::chrono::seconds(30), std::uint64_t{1} << 30}, builder,
                         harness.service());
  int port = 0;
  builder.AddListeningPort("127.0.0.1:0", grpc::InsecureServerCredentials(), &port);
  builder.RegisterService(&harness.service());
  const std::unique_ptr<grpc::Server> server = builder.BuildAndStart();
  ASSERT_TRUE(server != nullptr && port != 0);
  grpc::ChannelArguments arguments;
  ApplyTransportOptions(arguments);
  const std::unique_ptr<Stub> stub = ZelphServiceApiV2::NewStub(grpc::CreateCustomChannel(
      "127.0.0.1:" + std::to_string(port), grpc::InsecureChannelCredentials(), arguments));

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
      runs[i] = harness.Call(&Stub::ExecuteCommand, request, &response, stub.get());
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
  server->Shutdown();
}

}  // namespace
}  // namespace zelph::testing
