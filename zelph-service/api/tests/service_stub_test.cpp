// service_stub_test.cpp
//
// The generated service base served on loopback: every method that an implementation does
// not override answers UNIMPLEMENTED, and gRPC's own answers for a throwing override and
// for a request that does not parse reach the client.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "api_methods.h"
#include "loopback_server.h"
#include "message/ZelphServiceApiV2.grpc.pb.h"

namespace zelph {
namespace {

using Stub = ZelphServiceApiV2::Stub;

struct Reply {
  grpc::Status status;
  std::string response_bytes;
};

// One call of a stub method with an empty request.
using StubCall = std::function<Reply(Stub&)>;

template <typename Request, typename Response>
StubCall Call(grpc::Status (Stub::*method)(grpc::ClientContext*, const Request&, Response*)) {
  return [method](Stub& stub) {
    grpc::ClientContext context;
    Response response;
    Reply reply;
    reply.status = (stub.*method)(&context, Request(), &response);
    reply.response_bytes = response.SerializeAsString();
    return reply;
  };
}

const struct {
  std::string_view name;
  StubCall call;
} kStubCalls[] = {
    {"CreateSession", Call(&Stub::CreateSession)},
    {"CreateProject", Call(&Stub::CreateProject)},
    {"GetList", Call(&Stub::GetList)},
    {"GetListEx", Call(&Stub::GetListEx)},
    {"Exists", Call(&Stub::Exists)},
    {"ExecuteCommand", Call(&Stub::ExecuteCommand)},
    {"Remove", Call(&Stub::Remove)},
    {"CreateWorker", Call(&Stub::CreateWorker)},
    {"SetData", Call(&Stub::SetData)},
    {"GetData", Call(&Stub::GetData)},
    {"UploadProject", Call(&Stub::UploadProject)},
    {"LoadSolution", Call(&Stub::LoadSolution)},
    {"LoadSolutionTemplate", Call(&Stub::LoadSolutionTemplate)},
    {"GetProjectConfiguration", Call(&Stub::GetProjectConfiguration)},
    {"GetProjectConfigurationSettings", Call(&Stub::GetProjectConfigurationSettings)},
    {"UploadProjectConfiguration", Call(&Stub::UploadProjectConfiguration)},
    {"CreateLink", Call(&Stub::CreateLink)},
    {"UpdateLink", Call(&Stub::UpdateLink)},
};

TEST(ServiceStubTest, EveryMethodWithoutOverrideAnswersUnimplemented) {
  ZelphServiceApiV2::Service bare;
  testing::LoopbackServer server(bare);
  auto stub = server.NewStub();

  ASSERT_EQ(std::size(kStubCalls), testing::kApiMethods.size());
  for (size_t i = 0; i < std::size(kStubCalls); ++i) {
    const auto& c = kStubCalls[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.name, testing::kApiMethods[i]);
    const Reply reply = c.call(*stub);
    EXPECT_EQ(reply.status.error_code(), grpc::StatusCode::UNIMPLEMENTED);
    EXPECT_EQ(reply.status.error_code(), 12);
    EXPECT_EQ(reply.status.error_message(), "");
    EXPECT_EQ(reply.response_bytes, "");
  }
}

class ThrowingService : public ZelphServiceApiV2::Service {
 public:
  grpc::Status CreateSession(grpc::ServerContext*, const CreateSessionRequest*,
                             CreateSessionResponse*) override {
    throw std::runtime_error("handler failed");
  }
  grpc::Status Exists(grpc::ServerContext*, const ExistsRequest*, ExistsResponse*) override {
    ++exists_calls;
    return grpc::Status::OK;
  }
  std::atomic<int> exists_calls{0};
};

TEST(ServiceStubTest, ThrowingOverrideAndUnparsableRequestAreAnsweredByGrpc) {
  ThrowingService service;
  testing::LoopbackServer server(service);
  auto stub = server.NewStub();

  {
    grpc::ClientContext context;
    CreateSessionResponse response;
    const auto status = stub->CreateSession(&context, CreateSessionRequest(), &response);
    EXPECT_EQ(status.error_code(), grpc::StatusCode::UNKNOWN);
    EXPECT_EQ(status.error_message(), "Unexpected error in RPC handling");
  }
  {
    // The client writes invalid UTF-8 all the same; the server's parse refuses it.
    grpc::ClientContext context;
    ExistsRequest request;
    request.add_url("/session:\xff");
    ExistsResponse response;
    const auto status = stub->Exists(&context, request, &response);
    EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL);
    EXPECT_EQ(status.error_message(), "");
    EXPECT_EQ(service.exists_calls.load(), 0);
  }
}

}  // namespace
}  // namespace zelph
