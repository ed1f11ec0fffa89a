// server_bounds_test.cpp
//
// Process tests of the server's configured bounds: a reply past its limit is refused and the
// program keeps serving; clients that wait for each answer are never refused for threads,
// however many calls they make; a connection's calls past its stream cap wait while other
// connections are served.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zelph/testing/program_client.h"
#include "zelph/testing/program_installation.h"
#include "zelph/testing/unread_reply.h"

namespace {

using zelph::testing::Call;
using zelph::testing::ChildProcess;
using zelph::testing::NewConnection;
using zelph::testing::ProgramInstallation;
using zelph::testing::UnreadReply;
using Stub = zelph::ZelphServiceApiV2::Stub;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr char kProject[] = "/session:s/project:p";
constexpr char kMatrix[] = "/session:s/project:p/input:matrix";

// Session "s" with project "p" holding a one-channel matrix of `bytes` bytes.
void StoreMatrix(Stub& stub, std::uint64_t bytes) {
  zelph::CreateSessionRequest session;
  session.set_id("s");
  ASSERT_TRUE(Call(stub, &Stub::CreateSession, session).ok());
  zelph::CreateProjectRequest project;
  project.set_url(kProject);
  ASSERT_TRUE(Call(stub, &Stub::CreateProject, project).ok());
  zelph::SetDataRequest set;
  set.set_url(kMatrix);
  set.mutable_data()->set_url(kMatrix);
  zelph::GMat* mat = set.mutable_data()->mutable_mat();
  mat->set_channels(1);
  mat->add_dims(static_cast<std::int64_t>(bytes));
  mat->set_buffer(std::string(bytes, 'm'));
  const grpc::Status status = Call(stub, &Stub::SetData, set);
  ASSERT_TRUE(status.ok()) << status.error_message();
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

// A client that waits for each answer has at most one call in a handler, and its previous
// call's thread may still be on its way back when the next call comes: neither may make the
// server refuse it while the clients are no more than the handler cap.
TEST_F(ServerBoundsTest, ClientsThatWaitForEachAnswerAreNeverRefusedForThreads) {
  struct Case {
    int handler_threads;
    int clients;
    int calls_per_client;
  };
  const Case kCases[] = {{1, 1, 3000}, {4, 4, 750}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.handler_threads);
    Serve(R"("max_handler_threads": )" + std::to_string(c.handler_threads));
    std::atomic<int> refused{0};
    std::vector<std::thread> clients;
    for (int client = 0; client < c.clients; ++client) {
      clients.emplace_back([&] {
        const std::unique_ptr<Stub> stub = NewConnection(installation_.Address());
        for (int call = 0; call < c.calls_per_client; ++call) {
          if (!ListSessions(*stub).ok()) ++refused;
        }
      });
    }
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(refused, 0);
    server_->Signal(SIGINT);
    EXPECT_EQ(server_->Wait().exit_code, 0);
  }
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
