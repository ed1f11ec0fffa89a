#include "zelph/platform/service_dispatcher.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <string>

#include "zelph/platform/testing/child_process.h"
#include "zelph/platform/testing/notify_socket.h"
#include "zelph/platform/testing/temp_folder.h"

namespace {

namespace sys = zelph::sys;
using sys::testing::ChildOptions;
using sys::testing::ChildProcess;
using sys::testing::ChildResult;
using sys::testing::NotifySocket;
using sys::testing::TempFolder;

void ServiceMainNeverCalled(int, char**) { ADD_FAILURE() << "service entry ran"; }

TEST(ServiceDispatcherTest, WithoutNotifySocketTheProcessIsNoService) {
  const char* const kSockets[] = {nullptr, "", "relative/path", "@"};
  for (const char* socket : kSockets) {
    if (socket == nullptr) {
      unsetenv("NOTIFY_SOCKET");
    } else {
      setenv("NOTIFY_SOCKET", socket, 1);
    }
    EXPECT_EQ(sys::RunServiceControlDispatcher("zelph-test", ServiceMainNeverCalled),
              sys::kErrorFailedServiceControllerConnect);
  }
  unsetenv("NOTIFY_SOCKET");
}

TEST(ServiceDispatcherTest, RegistrationAndReportsNeedARunningDispatcher) {
  int error = 0;
  EXPECT_EQ(sys::RegisterServiceControlHandler("zelph-test", nullptr, nullptr, error), nullptr);
  EXPECT_EQ(error, sys::kErrorServiceDoesNotExist);
  EXPECT_EQ(sys::SetServiceStatus(nullptr, {}), sys::kErrorInvalidHandle);
  EXPECT_EQ(sys::NotifyServiceReady(nullptr), sys::kErrorInvalidHandle);
}

ChildProcess StartService(const NotifySocket& notify, std::vector<std::string> arguments,
                          const std::string& service_arguments = "") {
  arguments.insert(arguments.begin(), SERVICE_CHILD);
  ChildOptions options(SERVICE_CHILD, arguments);
  options.set_environment = {{"NOTIFY_SOCKET", notify.Path()},
                             {sys::kServiceArgumentsVariable, service_arguments}};
  return ChildProcess(options);
}

void ExpectInOrder(const std::string& text, const std::vector<std::string>& lines) {
  size_t from = 0;
  for (const std::string& line : lines) {
    const size_t at = text.find(line, from);
    ASSERT_NE(at, std::string::npos) << "'" << line << "' missing or out of order in:\n" << text;
    from = at + line.size();
  }
}

TEST(ServiceDispatcherTest, ReportsReachTheManagerAndSigtermStopsOnTheMainThread) {
  TempFolder folder;
  NotifySocket notify(folder.Path() / "notify");
  ChildProcess child = StartService(notify, {"zelph-test"}, " --config=x.json  --debug ");
  EXPECT_EQ(notify.Receive(), "STATUS=running");
  EXPECT_EQ(notify.Receive(), "READY=1");
  child.Signal(SIGTERM);
  EXPECT_EQ(notify.Receive(), "STOPPING=1\nSTATUS=stopped");
  const ChildResult result = child.Wait();
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectInOrder(result.out,
                {"args zelph-test --config=x.json --debug\n", "registered\n", "reporting running\n",
                 "ready 0\n", "reported stopped 0\n", "dispatcher returned 0\n"});
  EXPECT_NE(result.out.find("control 1 on main thread\n"), std::string::npos);
  EXPECT_NE(result.out.find("reported running 0\n"), std::string::npos);
}

// A stop that comes before the service accepts it waits for the running report.
TEST(ServiceDispatcherTest, StopBeforeTheServiceAcceptsItIsHeldNotLost) {
  TempFolder folder;
  NotifySocket notify(folder.Path() / "notify");
  ChildProcess child = StartService(notify, {"zelph-test", "hold"});
  ASSERT_TRUE(child.WaitForOutput("registered"));
  child.Signal(SIGTERM);
  child.WriteInput("go\n");
  EXPECT_EQ(notify.Receive(), "STATUS=running");
  EXPECT_EQ(notify.Receive(), "READY=1");
  EXPECT_EQ(notify.Receive(), "STOPPING=1\nSTATUS=stopped");
  const ChildResult result = child.Wait();
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectInOrder(result.out, {"reporting running\n", "control 1 on main thread\n",
                             "reported stopped 0\n", "dispatcher returned 0\n"});
  EXPECT_NE(result.out.find("reported running 0\n"), std::string::npos);
}

TEST(ServiceDispatcherTest, HandlerOfAnotherServiceNameIsRefused) {
  TempFolder folder;
  NotifySocket notify(folder.Path() / "notify");
  const ChildResult result = StartService(notify, {"other-service"}).Wait();
  EXPECT_EQ(result.exit_code, 0) << result.err;
  ExpectInOrder(result.out, {"register failed 1060\n", "dispatcher returned 0\n"});
}

}  // namespace
