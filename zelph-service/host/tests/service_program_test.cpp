// Process tests of the program as a service: the test plays the service manager, holding the
// notify socket's end and sending SIGTERM as the stop control.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "zelph/platform/local_port.h"
#include "zelph/platform/testing/notify_socket.h"
#include "zelph/testing/program_installation.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using zelph::sys::testing::NotifySocket;
using zelph::testing::ChildOptions;
using zelph::testing::ChildProcess;
using zelph::testing::ChildResult;
using zelph::testing::ProgramInstallation;

constexpr const char* kService = R"("service": {"enabled": true, "name": "zelph-test"})";

void ExpectInOrder(const std::string& text, const std::vector<std::string>& parts) {
  size_t from = 0;
  for (const std::string& part : parts) {
    const size_t at = text.find(part, from);
    ASSERT_NE(at, std::string::npos) << "'" << part << "' missing or out of order in:\n" << text;
    from = at + part.size();
  }
}

// An installation whose configuration runs the service, and the manager's socket beside it.
class ServiceInstallation {
 public:
  ServiceInstallation() : notify_(installation_.Home() / "notify") {
    installation_.WriteConfig(installation_.Config("info", kService));
  }

  ProgramInstallation& Installation() { return installation_; }
  NotifySocket& Notify() { return notify_; }

  // The program started by the manager, with `service_arguments` as the service's start
  // arguments.
  std::unique_ptr<ChildProcess> Start(const std::string& service_arguments = "") const {
    ChildOptions options = installation_.Options({});
    options.set_environment.emplace_back("NOTIFY_SOCKET", notify_.Path());
    options.set_environment.emplace_back("ZELPH_SERVICE_ARGS", service_arguments);
    return std::make_unique<ChildProcess>(options);
  }

 private:
  ProgramInstallation installation_;
  NotifySocket notify_;
};

TEST(ServiceProgramTest, RunsUnderTheManagerUntilSigterm) {
  ServiceInstallation service;
  std::unique_ptr<ChildProcess> child = service.Start();
  EXPECT_EQ(service.Notify().Receive(), "STATUS=running");
  EXPECT_EQ(service.Notify().Receive(), "READY=1");
  ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*child));
  child->Signal(SIGTERM);
  EXPECT_EQ(service.Notify().Receive(), "STOPPING=1\nSTATUS=stopped");
  const ChildResult result = child->Wait();
  EXPECT_TRUE(result.exited) << result.signal;
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectInOrder(
      result.err,
      {"[info] Starting service 'zelph-test' dispatcher\n",
       "[info] Report SVC state: 4 SERVICE_RUNNING\n", "[info] Wait until service stopped\n",
       "[info] Server starts listening on " + service.Installation().Address() + "\n",
       "[info] ServiceControlHandler, control: 1, event_type: 0\n", "[info] Service control stop\n",
       "[info] Report SVC state: 1 SERVICE_STOPPED\n", "[info] service stopped\n",
       "[info] Release file logging\n"});
  // Logged after the loggers were released: dropped.
  EXPECT_THAT(result.err, Not(HasSubstr("Service dispatched")));
}

// Readiness is sent only once the port accepts connections, so a unit ordered after the
// service can connect the moment it starts. The manager's queue has room for one report: the
// running report gets in, and a readiness sent before the server listens would hold the
// program in its send, short of listening.
TEST(ServiceProgramTest, ReadyOnlyOnceThePortIsOpen) {
  ServiceInstallation service;
  service.Notify().HoldReports();
  service.Notify().AdmitReports(1);
  std::unique_ptr<ChildProcess> child = service.Start();
  ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*child)) << child->Wait().err;
  EXPECT_TRUE(zelph::sys::AcceptsLocalConnection(service.Installation().Port()));
  EXPECT_EQ(service.Notify().Receive(), "STATUS=running");
  EXPECT_EQ(service.Notify().Receive(), "READY=1");
  child->Signal(SIGTERM);
  EXPECT_EQ(service.Notify().Receive(), "STOPPING=1\nSTATUS=stopped");
  EXPECT_EQ(child->Wait().exit_code, 0);
}

// The stop event exists before the handler can be called: a stop sent while the service
// still starts is taken once it reports running.
TEST(ServiceProgramTest, StopDuringStartUpIsNotLost) {
  ServiceInstallation service;
  std::unique_ptr<ChildProcess> child = service.Start("--debug");
  ASSERT_TRUE(child->WaitForError("~~DEBUG~~ Register service ctrl handler\n"));
  child->Signal(SIGTERM);
  EXPECT_EQ(service.Notify().Receive(), "STATUS=running");
  EXPECT_EQ(service.Notify().Receive(), "READY=1");
  EXPECT_EQ(service.Notify().Receive(), "STOPPING=1\nSTATUS=stopped");
  const ChildResult result = child->Wait();
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectInOrder(result.err, {"[info] Report SVC state: 4 SERVICE_RUNNING\n",
                             "[info] Service control stop\n", "[info] service stopped\n"});
}

// Failures of the service entry: before its handler is registered there is no status to
// report and the service ends with 1; a handler for another name than the dispatched one is
// refused with 1060, which leaves the process as its low eight bits.
TEST(ServiceProgramTest, FailedStartsEndTheProcess) {
  struct Case {
    const char* service_arguments;
    int exit_code;
    const char* error_text;
  };
  const Case kCases[] = {
      {"--config=missing.json", 1,
       "argument '--config' should locate to existing zelph configuration"},
      {"--server=maybe", 1, "--server"},
      {"--config=renamed.json", 1060 & 0xFF,
       "[error] Failed registered service control handler: 1060\n"},
  };
  ServiceInstallation service;
  service.Installation().Write(
      "renamed.json", service.Installation().Config(
                          "info", R"("service": {"enabled": true, "name": "other-name"})"));
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.service_arguments);
    const ChildResult result = service.Start(c.service_arguments)->Wait();
    EXPECT_TRUE(result.exited) << result.signal;
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_THAT(result.err, HasSubstr(c.error_text));
    EXPECT_EQ(service.Notify().Receive(std::chrono::milliseconds(0)), "");
  }
}

// The command line's switch decides over the configuration's; without the manager the
// service mode fails with 1063.
TEST(ServiceProgramTest, CommandLineSwitchOverridesTheConfiguration) {
  struct Case {
    bool configured;
    std::vector<std::string> arguments;
    int exit_code;
    const char* text;
  };
  const Case kCases[] = {
      {false,
       {"--server/service/enabled=1"},
       1,
       "Error: Failed start service dispatcher error code: 1063\n"},
      {true,
       {"--server/service/enabled=0", "--server=0"},
       0,
       "Chain can't be executed, load chain file failed"},
      {true, {"--server=0"}, 1, "Error: Failed start service dispatcher error code: 1063\n"},
  };
  ProgramInstallation installation;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.arguments.front());
    installation.WriteConfig(installation.Config(
        "info", std::string(R"("service": {"name": "zelph-test", "enabled": )") +
                    (c.configured ? "true" : "false") + "}"));
    const ChildResult result = installation.Run(c.arguments);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_THAT(result.err, HasSubstr(c.text));
  }
}

}  // namespace
