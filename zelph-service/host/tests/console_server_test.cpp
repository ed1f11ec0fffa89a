// Process tests of the console server: it serves clients on its configured port until a
// console event (a signal) stops it, refuses ports it cannot serve on, and keeps its signal
// handling when the Java VM runs inside it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "zelph/testing/program_client.h"
#include "zelph/testing/program_installation.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using zelph::testing::ChildProcess;
using zelph::testing::ChildResult;
using zelph::testing::ProgramClient;
using zelph::testing::ProgramInstallation;
using zelph::testing::ProgramStub;

// A client's calls are served; the signal ends the program with 0 after the profile table
// and the loggers' release.
TEST(ConsoleServerTest, ServesUntilAStoppingSignal) {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal_number);
    ProgramInstallation installation;
    installation.WriteConfig(installation.Config("info"));
    std::unique_ptr<ChildProcess> server = installation.Start({});
    ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*server));

    {
      // A connected client would hold the shutdown for its whole grace.
      ProgramClient client(installation.Address());
      zelph::CreateSessionRequest create;
      create.set_id("s1");
      const grpc::Status status = client.Call(&ProgramStub::CreateSession, create);
      EXPECT_TRUE(status.ok()) << status.error_message();
      zelph::GetDataRequest get;
      get.add_url("/session:s1");
      client.Call(&ProgramStub::GetData, get);
    }

    server->Signal(signal_number);
    const ChildResult result = server->Wait();
    EXPECT_TRUE(result.exited) << result.signal;
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_THAT(result.out, HasSubstr("[PROFILE] name: GetData, "));
    EXPECT_THAT(result.err, HasSubstr("[info] Release file logging\n"));
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
  EXPECT_THAT(second.err, HasSubstr("[error] " + refusal));
  EXPECT_THAT(second.err, HasSubstr("Error: " + refusal));
  EXPECT_THAT(second.err, Not(HasSubstr("Server starts listening")));

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
    EXPECT_THAT(result.err,
                HasSubstr(std::string("Can't build and start server, does server port: ") +
                          c.port_text + " available?\n"));
    EXPECT_THAT(result.err, Not(HasSubstr("Server starts listening")));
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
  EXPECT_THAT(result.err, HasSubstr("[info] JavaVM created successfully\n"));
  EXPECT_TRUE(result.exited) << result.signal;
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_THAT(result.err, HasSubstr("[info] Release file logging\n"));
}

// A synchronous evaluation holds its request thread, which the server's shutdown waits for:
// once the grace is over the run is interrupted, and the program ends with 0 instead of
// running on for as long as the evaluation would. A project removed while its evaluation runs
// is no longer in the store, yet its run is reached all the same.
TEST(ConsoleServerTest, StoppingSignalEndsALongEvaluation) {
  struct Case {
    const char* name;
    bool remove_project;
    int signal;
  };
  const Case kCases[] = {
      {"project in the store, SIGINT", false, SIGINT},
      {"project removed, SIGTERM", true, SIGTERM},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ProgramInstallation installation(ProgramInstallation::kWithJava);
    installation.AddJavaTestModels();
    installation.WriteConfig(installation.Config("info"));
    std::unique_ptr<ChildProcess> server = installation.Start({});
    ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*server));
    ProgramClient client(installation.Address());
    std::thread evaluation = client.StartSlowEvaluation(false);
    ASSERT_TRUE(server->WaitForError("Start chain execution ('run_time')"));
    if (c.remove_project) {
      zelph::RemoveRequest remove;
      remove.add_url("/session:slow/project:p");
      EXPECT_TRUE(client.Call(&ProgramStub::Remove, remove).ok());
    }
    server->Signal(c.signal);
    // The grace of the server's shutdown is 5 s; an evaluation left running would hold it
    // for as long as the worker waits, which is until it is interrupted.
    const ChildResult result = server->Wait(std::chrono::seconds(20));
    evaluation.join();
    EXPECT_FALSE(result.timed_out);
    EXPECT_TRUE(result.exited) << result.signal;
    EXPECT_EQ(result.exit_code, 0) << result.err;
  }
}

}  // namespace
