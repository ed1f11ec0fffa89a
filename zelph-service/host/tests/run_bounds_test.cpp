// run_bounds_test.cpp
//
// Process tests of the bounds on chain runs: an evaluation whose client gave up is
// interrupted; runs past "max_runs" are refused, so a burst of asynchronous evaluations does
// not raise the program's threads without bound; a stopping signal ends the program in order,
// with exit code 0, while a run is slow to see its interrupt. The runs are Java test models
// (program_client.h): Slow runs until it is interrupted, Lingering goes on for 15 s after it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zelph/platform/local_port.h"
#include "zelph/testing/program_client.h"
#include "zelph/testing/program_installation.h"
#include "zelph/testing/wait_until.h"

namespace {

using ::testing::HasSubstr;
using zelph::testing::ChildProcess;
using zelph::testing::ChildResult;
using zelph::testing::ProgramClient;
using zelph::testing::ProgramInstallation;
using zelph::testing::ProgramStub;
using zelph::testing::WaitUntil;
using JavaTestModel = ProgramClient::JavaTestModel;

// What the chain logs at info level when its run at the run-time stage has ended.
constexpr char kRunEnded[] = "Time (chain execution) stage: 'run_time'";

std::size_t ThreadCount(pid_t pid) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    ++count;
  }
  return count;
}

zelph::ExecuteCommandRequest Command(const std::string& url, zelph::Command command) {
  zelph::ExecuteCommandRequest request;
  request.add_url(url);
  request.set_command(command);
  return request;
}

// The program with the Java test models, started with `server_members` in its "server".
struct JavaServer {
  explicit JavaServer(const std::string& severity, const std::string& server_members = "")
      : installation(ProgramInstallation::kWithJava) {
    installation.AddJavaTestModels();
    installation.WriteConfig(installation.Config(severity, server_members));
    child = installation.Start({});
  }
  // Whether the program accepts connections within the bound. A program that logs only errors
  // writes little, so a test that reads none of it cannot block the program on a full pipe.
  bool WaitUntilServing() const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!zelph::sys::AcceptsLocalConnection(installation.Port())) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }
  ProgramInstallation installation;
  std::unique_ptr<ChildProcess> child;
};

// A synchronous evaluation runs on its call's thread. Once its client has cancelled the call
// or let its deadline pass, the run is interrupted, so the thread is free as soon as the
// worker sees the interrupt instead of when the chain ends by itself (for Slow: never).
TEST(RunBoundsTest, AnEvaluationWhoseClientGaveUpIsInterrupted) {
  enum class GiveUp { kDeadline, kCancel };
  for (const GiveUp give_up : {GiveUp::kDeadline, GiveUp::kCancel}) {
    SCOPED_TRACE(give_up == GiveUp::kDeadline ? "deadline" : "cancel");
    JavaServer server("info");
    ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*server.child));
    ProgramClient client(server.installation.Address());
    const std::string project = client.LoadOneWorkerProject("s", JavaTestModel::kSlow);

    grpc::ClientContext context;
    context.set_deadline(std::chrono::system_clock::now() + (give_up == GiveUp::kDeadline
                                                                 ? std::chrono::seconds(2)
                                                                 : ProgramClient::kCallDeadline));
    grpc::Status status;
    std::thread call([&] {
      zelph::ExecuteCommandResponse response;
      status =
          client.stub().ExecuteCommand(&context, Command(project, zelph::kEvaluate), &response);
    });
    ASSERT_TRUE(server.child->WaitForError("Start chain execution ('run_time')"));
    if (give_up == GiveUp::kCancel) context.TryCancel();
    call.join();
    EXPECT_EQ(status.error_code(), give_up == GiveUp::kDeadline
                                       ? grpc::StatusCode::DEADLINE_EXCEEDED
                                       : grpc::StatusCode::CANCELLED);
    EXPECT_TRUE(server.child->WaitForError(kRunEnded, std::chrono::seconds(20)));

    // The project is ready for the next run once the evaluation has returned (until then it
    // is busy: the run is refused with kCancelled, changing nothing).
    EXPECT_TRUE(WaitUntil(
        [&] {
          zelph::ExecuteCommandResponse response;
          return client
                     .Call(&ProgramStub::ExecuteCommand, Command(project, zelph::kEvaluateAsync),
                           &response)
                     .ok() &&
                 response.status() == zelph::kOk;
        },
        std::chrono::seconds(20)));
    server.child->Signal(SIGINT);
    EXPECT_EQ(server.child->Wait().exit_code, 0);
  }
}

// Runs past "max_runs" are refused, synchronous and asynchronous alike, with
// RESOURCE_EXHAUSTED and the project left ready; a run that ends makes room.
TEST(RunBoundsTest, RunsPastTheCapAreRefusedUntilOneEnds) {
  JavaServer server("error", R"("max_runs": 2)");
  ASSERT_TRUE(server.WaitUntilServing());
  ProgramClient client(server.installation.Address());
  std::vector<std::string> projects;
  for (const char* session : {"a", "b", "c"}) {
    projects.push_back(client.LoadOneWorkerProject(session, JavaTestModel::kSlow));
  }
  for (int i = 0; i < 2; ++i) {
    zelph::ExecuteCommandResponse response;
    ASSERT_TRUE(client
                    .Call(&ProgramStub::ExecuteCommand, Command(projects[i], zelph::kEvaluateAsync),
                          &response)
                    .ok());
    EXPECT_EQ(response.status(), zelph::kOk);
  }
  for (const zelph::Command command : {zelph::kEvaluateAsync, zelph::kEvaluate}) {
    SCOPED_TRACE(static_cast<int>(command));
    const grpc::Status refused =
        client.Call(&ProgramStub::ExecuteCommand, Command(projects[2], command));
    EXPECT_EQ(refused.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
    EXPECT_EQ(refused.error_message(),
              "Run refused: 2 runs are in progress, as many as \"max_runs\" allows");
  }

  // The interrupted run's thread ends on its own; until then the third run is still refused.
  ASSERT_TRUE(
      client.Call(&ProgramStub::ExecuteCommand, Command(projects[0], zelph::kInterrupt)).ok());
  zelph::ExecuteCommandResponse response;
  EXPECT_TRUE(WaitUntil(
      [&] {
        return client
            .Call(&ProgramStub::ExecuteCommand, Command(projects[2], zelph::kEvaluateAsync),
                  &response)
            .ok();
      },
      std::chrono::seconds(20)));
  EXPECT_EQ(response.status(), zelph::kOk);
  server.child->Signal(SIGINT);
  EXPECT_EQ(server.child->Wait().exit_code, 0);
}

// 200 asynchronous evaluations of 200 projects: the default cap (64) lets 64 run and refuses
// the others, so the program's threads rise by about the runs, and fall back once the runs
// are interrupted.
TEST(RunBoundsTest, ABurstOfAsynchronousRunsKeepsTheThreadsBounded) {
  constexpr int kProjects = 200;
  constexpr int kMaxRuns = 64;  // the default
  constexpr std::size_t kSlack = 16;
  JavaServer server("error");
  ASSERT_TRUE(server.WaitUntilServing());
  ProgramClient client(server.installation.Address());
  std::vector<std::string> projects;
  for (int i = 0; i < kProjects; ++i) {
    projects.push_back(client.LoadOneWorkerProject("s" + std::to_string(i), JavaTestModel::kSlow));
  }
  const std::size_t threads_before = ThreadCount(server.child->Pid());

  int started = 0;
  int refused = 0;
  for (const std::string& project : projects) {
    const grpc::Status status =
        client.Call(&ProgramStub::ExecuteCommand, Command(project, zelph::kEvaluateAsync));
    if (status.ok()) ++started;
    if (status.error_code() == grpc::StatusCode::RESOURCE_EXHAUSTED) ++refused;
  }
  EXPECT_EQ(started, kMaxRuns);
  EXPECT_EQ(refused, kProjects - kMaxRuns);
  const std::size_t threads_running = ThreadCount(server.child->Pid());
  EXPECT_LE(threads_running, threads_before + kMaxRuns + kSlack);
  std::printf("threads: %zu before the runs, %zu with %d runs\n", threads_before, threads_running,
              started);

  for (const std::string& project : projects) {
    EXPECT_TRUE(
        client.Call(&ProgramStub::ExecuteCommand, Command(project, zelph::kInterrupt)).ok());
  }
  EXPECT_TRUE(WaitUntil([&] { return ThreadCount(server.child->Pid()) <= threads_before + kSlack; },
                        std::chrono::seconds(30)));
  std::printf("threads: %zu after the interrupts\n", ThreadCount(server.child->Pid()));
  server.child->Signal(SIGINT);
  EXPECT_EQ(server.child->Wait().exit_code, 0);
}

// SIGTERM during an asynchronous run whose worker is slow to see its interrupt: the program
// interrupts it, awaits it for its bound, and ends with exit code 0, the signal's handler
// waiting for that end instead of letting the signal end the process.
TEST(RunBoundsTest, AStoppingSignalEndsInOrderWhileARunLingers) {
  JavaServer server("info");
  ASSERT_TRUE(ProgramInstallation::WaitUntilListening(*server.child));
  ProgramClient client(server.installation.Address());
  const std::string project = client.LoadOneWorkerProject("s", JavaTestModel::kLingering);
  ASSERT_TRUE(
      client.Call(&ProgramStub::ExecuteCommand, Command(project, zelph::kEvaluateAsync)).ok());
  ASSERT_TRUE(server.child->WaitForError("Start chain execution ('run_time')"));
  const auto signalled = std::chrono::steady_clock::now();
  server.child->Signal(SIGTERM);
  const ChildResult result = server.child->Wait(std::chrono::seconds(60));
  const auto took = std::chrono::steady_clock::now() - signalled;
  EXPECT_FALSE(result.timed_out);
  EXPECT_TRUE(result.exited) << result.signal;
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_THAT(result.err, HasSubstr("[info] Release file logging\n"));
  std::printf(
      "SIGTERM to exit: %lld ms, exit code %d\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()),
      result.exit_code);
}

}  // namespace
