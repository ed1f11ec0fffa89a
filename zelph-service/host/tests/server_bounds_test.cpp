// server_bounds_test.cpp
//
// Process tests of the server's configured bounds: a reply past its limit is refused and the
// program keeps serving; a call that finds every handler thread taken is refused until one is
// free again; a connection's calls past its stream cap wait while other connections are
// served.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "zelph/api/transport_options.h"
#include "zelph/testing/program_installation.h"
#include "zelph/testing/unread_reply.h"

namespace {

using zelph::testing::ChildProcess;
using zelph::testing::ProgramInstallation;
using zelph::testing::UnreadReply;
using Stub = zelph::ZelphServiceApiV2::Stub;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr char kProject[] = "/session:s/project:p";
constexpr char kMatrix[] = "/session:s/project:p/input:matrix";

// A stub on a connection of its own: gRPC shares one connection between channels of equal
// settings, and these tests need to tell connections apart.
std::unique_ptr<Stub> NewConnection(const std::string& address) {
  grpc::ChannelArguments arguments;
  zelph::ApplyTransportOptions(arguments);
  arguments.SetInt(GRPC_ARG_USE_LOCAL_SUBCHANNEL_POOL, 1);
  return zelph::ZelphServiceApiV2::NewStub(
      grpc::CreateCustomChannel(address, grpc::InsecureChannelCredentials(), arguments));
}

template <typename Request, typename Response>
grpc::Status Call(Stub& stub,
                  grpc::Status (Stub::*method)(grpc::ClientContext*, const Request&, Response*),
                  const Request& request, Response* response = nullptr,
                  std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + deadline);
  Response ignored;
  return (stub.*method)(&context, request, response != nullptr ? response : &ignored);
}

// Repeats `call` until it answers `code`; false when it did not within `within`.
bool AnswersEventually(const std::function<grpc::Status()>& call, grpc::StatusCode code,
                       std::chrono::seconds within = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + within;
  while (call().error_code() != code) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

// Session "s" with project "p" holding a one-channel matrix of `bytes` bytes. Each call is
// made again while it is refused: on a server of one handler thread a call can come before
// the thread of the previous one is back.
void StoreMatrix(Stub& stub, std::uint64_t bytes) {
  zelph::CreateSessionRequest session;
  session.set_id("s");
  ASSERT_TRUE(AnswersEventually([&] { return Call(stub, &Stub::CreateSession, session); },
                                grpc::StatusCode::OK));
  zelph::CreateProjectRequest project;
  project.set_url(kProject);
  ASSERT_TRUE(AnswersEventually([&] { return Call(stub, &Stub::CreateProject, project); },
                                grpc::StatusCode::OK));
  zelph::SetDataRequest set;
  set.set_url(kMatrix);
  set.mutable_data()->set_url(kMatrix);
  zelph::GMat* mat = set.mutable_data()->mutable_mat();
  mat->set_channels(1);
  mat->add_dims(static_cast<std::int64_t>(bytes));
  mat->set_buffer(std::string(bytes, 'm'));
  ASSERT_TRUE(
      AnswersEventually([&] { return Call(stub, &Stub::SetData, set); }, grpc::StatusCode::OK));
}

zelph::GetDataRequest MatrixNamed(int times) {
  zelph::GetDataRequest request;
  for (int i = 0; i < times; ++i) request.add_url(kMatrix);
  return request;
}

grpc::Status ListSessions(Stub& stub) {
  zelph::GetListRequest list;
  list.set_url("/session");
  return Call(stub, &Stub::GetList, list);
}

class ServerBoundsTest : public ::testing::Test {
 protected:
  void Serve(const std::string& bounds) {
    installation_.WriteConfig(installation_.Config("info", bounds));
    server_ = installation_.Start({});
    ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*server_));
  }

  ProgramInstallation installation_;
  std::unique_ptr<ChildProcess> server_;
};

TEST_F(ServerBoundsTest, AReplyPastItsLimitIsRefusedAndTheProgramKeepsServing) {
  // Each reply may have half the budget: 2 MiB.
  Serve(R"("max_reply_bytes_in_flight": 4194304)");
  const std::unique_ptr<Stub> stub = NewConnection(installation_.Address());
  StoreMatrix(*stub, kMiB);
  const grpc::Status refused = Call(*stub, &Stub::GetData, MatrixNamed(3));
  EXPECT_EQ(refused.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
  EXPECT_EQ(refused.error_message(), "reply would exceed 2097152 bytes");
  zelph::GetDataResponse response;
  ASSERT_TRUE(Call(*stub, &Stub::GetData, MatrixNamed(1), &response).ok());
  EXPECT_EQ(response.data(0).mat().buffer().size(), kMiB);
}

TEST_F(ServerBoundsTest, ACallThatFindsNoHandlerThreadIsRefusedUntilOneIsFree) {
  Serve(R"("max_handler_threads": 1)");
  const std::unique_ptr<Stub> reader = NewConnection(installation_.Address());
  StoreMatrix(*reader, 8 * kMiB);
  const std::unique_ptr<Stub> other = NewConnection(installation_.Address());
  // The one handler thread waits to send the unread reply. An unread call that came before
  // the thread of the previous call was back was itself refused, and is made again.
  std::unique_ptr<UnreadReply> unread;
  bool refused = false;
  for (int attempt = 0; attempt < 5 && !refused; ++attempt) {
    unread = std::make_unique<UnreadReply>(*reader, MatrixNamed(1));
    refused = AnswersEventually([&] { return ListSessions(*other); },
                                grpc::StatusCode::RESOURCE_EXHAUSTED, std::chrono::seconds(5));
  }
  EXPECT_TRUE(refused);
  unread.reset();
  EXPECT_TRUE(AnswersEventually([&] { return ListSessions(*other); }, grpc::StatusCode::OK));
}

TEST_F(ServerBoundsTest, CallsPastAConnectionsStreamCapWaitWhileOthersAreServed) {
  Serve(R"("max_streams_per_connection": 1)");
  const std::unique_ptr<Stub> reader = NewConnection(installation_.Address());
  StoreMatrix(*reader, 8 * kMiB);
  const std::unique_ptr<Stub> other = NewConnection(installation_.Address());
  {
    UnreadReply unread(*reader, MatrixNamed(1));
    zelph::GetListRequest list;
    list.set_url("/session");
    // The reader's connection has no stream to spare until its unread call ends.
    EXPECT_EQ(Call(*reader, &Stub::GetList, list, static_cast<zelph::GetListResponse*>(nullptr),
                   std::chrono::milliseconds(1500))
                  .error_code(),
              grpc::StatusCode::DEADLINE_EXCEEDED);
    EXPECT_TRUE(ListSessions(*other).ok());
  }
  EXPECT_TRUE(ListSessions(*reader).ok());
}

}  // namespace
