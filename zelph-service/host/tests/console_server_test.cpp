// Process tests of the console server: it serves clients on its configured port until a
// console event (a signal) stops it, refuses ports it cannot serve on, and keeps its signal
// handling when the Java VM runs inside it.
#include <grpcpp/grpcpp.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>

#include "message/ZelphServiceApiV2.grpc.pb.h"
#include "zelph/testing/program_installation.h"

namespace {

using zelph::testing::ChildProcess;
using zelph::testing::ChildResult;
using zelph::testing::ProgramInstallation;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::unique_ptr<zelph::ZelphServiceApiV2::Stub> Connect(const ProgramInstallation& installation) {
  return zelph::ZelphServiceApiV2::NewStub(
      grpc::CreateChannel(installation.Address(), grpc::InsecureChannelCredentials()));
}

template <typename Request, typename Response, typename Method>
grpc::Status Call(zelph::ZelphServiceApiV2::Stub& stub, Method method, const Request& request,
                  Response* response) {
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + std::chrono::seconds(30));
  return (stub.*method)(&context, request, response);
}

// A client's calls are served; the signal ends the program with 0 after the profile table
// and the loggers' release.
TEST(ConsoleServerTest, ServesUntilAStoppingSignal) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    ProgramInstallation installation;
    installation.WriteConfig(installation.Config("info"));
    std::unique_ptr<ChildProcess> server = installation.Start({});
    ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*server));

    auto stub = Connect(installation);
    zelph::CreateSessionRequest create;
    create.set_id("s1");
    zelph::CreateSessionResponse created;
    const grpc::Status status =
        Call(*stub, &zelph::ZelphServiceApiV2::Stub::CreateSession, create, &created);
    EXPECT_TRUE(status.ok()) << status.error_message();
    zelph::GetDataRequest get;
    get.add_url("/session:s1");
    zelph::GetDataResponse got;
    Call(*stub, &zelph::ZelphServiceApiV2::Stub::GetData, get, &got);

    server->Signal(signal_number);
    const ChildResult result = server->Wait();
    EXPECT_TRUE(result.exited) << result.signal;
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "[PROFILE] name: GetData, ")) << result.out;
    EXPECT_TRUE(Contains(result.err, "[info] Release file logging\n")) << result.err;
  }
}

TEST(ConsoleServerTest, SecondInstanceOnTheSamePortIsRefused) {
  ProgramInstallation installation;
  installation.WriteConfig(installation.Config("info"));
  std::unique_ptr<ChildProcess> first = installation.Start({});
  ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*first));

  const ChildResult second = installation.Run({});
  EXPECT_EQ(second.exit_code, 1) << second.err;
  const std::string refusal = "Server can't use port " + std::to_string(installation.Port()) +
                              " for communitation: it is already in use.\nProbably the server "
                              "is already running...\n";
  EXPECT_TRUE(Contains(second.err, "[error] " + refusal)) << second.err;
  EXPECT_TRUE(Contains(second.err, "Error: " + refusal)) << second.err;
  EXPECT_FALSE(Contains(second.err, "Server starts listening")) << second.err;

  first->Signal(SIGINT);
  EXPECT_EQ(first->Wait().exit_code, 0);
}

// A port that is not a TCP port, or an address gRPC cannot listen on, ends the start with
// the port in the text, never with a server on some other port.
TEST(ConsoleServerTest, UnusableListeningAddressesAreRefused) {
  struct Case {
    const char* server_members;
    const char* port_text;
  };
  const Case kCases[] = {
      {R"("host": "127.0.0.1", "port": 0)", "0"},
      {R"("host": "127.0.0.1", "port": 70000)", "70000"},
      {R"("host": "127.0.0.1")", "-1"},
      {R"("host": "", "port": 65000)", "65000"},
  };
  ProgramInstallation installation;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.server_members);
    installation.WriteConfig(std::string(R"({"server": {)") + c.server_members +
                             R"(, "log": {"severity": "info", "sink": "Console"}}})");
    const ChildResult result = installation.Run({});
    EXPECT_EQ(result.exit_code, 1) << result.err;
    EXPECT_TRUE(
        Contains(result.err, std::string("Can't build and start server, does server port: ") +
                                 c.port_text + " available?\n"))
        << result.err;
    EXPECT_FALSE(Contains(result.err, "Server starts listening")) << result.err;
  }
}

// The Java VM runs with -Xrs: SIGINT still reaches the program, which stops as it does
// without the VM.
TEST(ConsoleServerTest, JavaVmLeavesTheStoppingSignalToTheProgram) {
  ProgramInstallation installation(ProgramInstallation::kWithJava);
  installation.WriteConfig(installation.Config("info"));
  std::unique_ptr<ChildProcess> server = installation.Start({});
  ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*server));
  server->Signal(SIGINT);
  const ChildResult result = server->Wait();
  EXPECT_TRUE(Contains(result.err, "[info] JavaVM created successfully\n")) << result.err;
  EXPECT_TRUE(result.exited) << result.signal;
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(Contains(result.err, "[info] Release file logging\n")) << result.err;
}

}  // namespace
