// execute_command_test.cpp
//
// ExecuteCommand through the client stub: the URL forms each command takes and refuses,
// commands on an idle and on a busy project (the Slow worker holds a run), requests that
// mix projects and bad URLs, steps and their reset, and previews built on request.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

ExecuteCommandRequest Command(Command command, std::initializer_list<std::string> urls) {
  ExecuteCommandRequest request;
  request.set_command(command);
  for (const std::string& url : urls) request.add_url(url);
  return request;
}

bool BackgroundWorkEnded() { return ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(20)); }

class ExecuteCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { TestPluginControl::Get().Reset(); }
  void TearDown() override {
    TestPluginControl::Get().Reset();
    EXPECT_TRUE(BackgroundWorkEnded());
  }

  // Counts the work of the pass workers (every worker of the chain fixtures but Fail).
  void CountWork() {
    TestPluginControl::Get().SetEventHook([this](const std::string& event, const std::string&) {
      if (event == "work") ++work_;
    });
  }
  int TakeWork() { return work_.exchange(0); }

  ServiceHarness harness_;
  std::atomic<int> work_{0};
};

TEST_F(ExecuteCommandTest, EachCommandTakesItsUrlForms) {
  const std::string p = harness_.NewProject();
  harness_.UploadChain(p, "line.json");
  const std::string session = p.substr(0, p.find("/project"));
  struct Case {
    zelph::Command command;
    std::vector<std::string> urls;
    grpc::StatusCode code;
    std::string message;
  };
  const std::string kUnsupported = "Unsupported command: ";
  const Case kCases[] = {
      {kEvaluate, {p}, grpc::StatusCode::OK, ""},
      {kEvaluate, {p + "/worker:scale"}, grpc::StatusCode::OK, ""},
      {kEvaluate,
       {p + "/worker:nope"},
       grpc::StatusCode::INTERNAL,
       "Executor not found with id: nope"},
      {kEvaluate, {p + "/link:l"}, grpc::StatusCode::INVALID_ARGUMENT, "Invalid url"},
      {kEvaluate,
       {p + "/worker:scale/input:in"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url"},
      {kEvaluate, {session}, grpc::StatusCode::INVALID_ARGUMENT, "Invalid url"},
      {kEvaluate, {""}, grpc::StatusCode::INVALID_ARGUMENT, "Url is empty"},
      {kEvaluate,
       {session + "/project"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + session + "/project, /session/project:id required"},
      {kEvaluate,
       {session + "/project:nope"},
       grpc::StatusCode::INTERNAL,
       "Project not found: nope"},
      {kEvaluate, {}, grpc::StatusCode::OK, ""},
      {kEvaluateAsync, {p}, grpc::StatusCode::OK, ""},
      {kEvaluateAsync,
       {p + "/worker:scale"},
       grpc::StatusCode::UNIMPLEMENTED,
       "Asynchronous evaluation of a single worker is not supported"},
      {kInterrupt, {p}, grpc::StatusCode::OK, ""},
      {kInterrupt, {p + "/worker:scale"}, grpc::StatusCode::INVALID_ARGUMENT, "Invalid url"},
      {kEvaluateStep, {p}, grpc::StatusCode::OK, ""},
      {kEvaluateStep, {p + "/worker:scale"}, grpc::StatusCode::INVALID_ARGUMENT, "Invalid url"},
      {kResetIterations, {p}, grpc::StatusCode::OK, ""},
      {kResetIterations, {p + "/worker:scale"}, grpc::StatusCode::INVALID_ARGUMENT, "Invalid url"},
      {kBuildPreview, {p + "/worker:scale"}, grpc::StatusCode::OK, ""},
      {kBuildPreview, {p}, grpc::StatusCode::INVALID_ARGUMENT, "Invalid url"},
      {kBuildPreview,
       {p + "/worker:nope"},
       grpc::StatusCode::INTERNAL,
       "Executor not found with id: nope"},
      {kBuildPreview,
       {p + "/worker:" + std::string(300, 'w')},
       grpc::StatusCode::INTERNAL,
       "Executor not found with id: " + std::string(256, 'w') + "..."},
      // No handler: the URLs are not even checked.
      {kPlay, {p}, grpc::StatusCode::INTERNAL, kUnsupported + "5"},
      {kPlay, {""}, grpc::StatusCode::INTERNAL, kUnsupported + "5"},
      {static_cast<zelph::Command>(42), {p}, grpc::StatusCode::INTERNAL, kUnsupported + "42"},
  };
  for (const Case& c : kCases) {
    ExecuteCommandRequest request;
    request.set_command(c.command);
    for (const std::string& url : c.urls) request.add_url(url);
    ExecuteCommandResponse response;
    response.set_status(kCancelled);  // a stub reply is fresh; this shows what the call set
    const grpc::Status status = harness_.Call(&Stub::ExecuteCommand, request, &response);
    const std::string name = std::to_string(c.command) + " " + (c.urls.empty() ? "" : c.urls[0]);
    EXPECT_EQ(status.error_code(), c.code) << name;
    EXPECT_EQ(status.error_message(), c.message) << name;
    if (status.ok()) {
      EXPECT_EQ(response.status(), kOk) << name;
    }
    ASSERT_TRUE(BackgroundWorkEnded());
  }
}

// Each URL is handled in turn: a path a command does not take fails the call but the next
// URL still runs, a URL whose lookup throws ends the request there, and a URL that fails
// its check stops everything before anything runs.
TEST_F(ExecuteCommandTest, MixedUrlsRunInTurn) {
  const std::string p = harness_.NewProject();
  const std::string q = harness_.NewProject();
  harness_.UploadChain(p, "line.json");
  harness_.UploadChain(q, "line.json");
  CountWork();
  struct Case {
    ExecuteCommandRequest request;
    grpc::StatusCode code;
    int work;  // worker executions the request caused
  };
  const Case kCases[] = {
      {Command(kEvaluate, {p + "/link:l", q}), grpc::StatusCode::INVALID_ARGUMENT, 3},
      {Command(kEvaluate, {p, p + "/worker:scale", q}), grpc::StatusCode::OK, 7},
      {Command(kEvaluate, {q, "/session:s/project"}), grpc::StatusCode::INVALID_ARGUMENT, 0},
      {Command(kEvaluate, {q, ""}), grpc::StatusCode::INVALID_ARGUMENT, 0},
      {Command(kEvaluate, {p + "/worker:nope", q}), grpc::StatusCode::INTERNAL, 0},
      {Command(kEvaluate, {q, p + "/worker:nope"}), grpc::StatusCode::INTERNAL, 3},
      {Command(kEvaluateAsync, {p + "/worker:scale", q}), grpc::StatusCode::UNIMPLEMENTED, 3},
      {Command(kEvaluateStep, {p + "/worker:scale", q}), grpc::StatusCode::INVALID_ARGUMENT, 3},
  };
  for (const Case& c : kCases) {
    const grpc::Status status = harness_.Call(&Stub::ExecuteCommand, c.request);
    ASSERT_TRUE(BackgroundWorkEnded());
    EXPECT_EQ(status.error_code(), c.code) << c.request.ShortDebugString();
    EXPECT_EQ(TakeWork(), c.work) << c.request.ShortDebugString();
  }
}

TEST_F(ExecuteCommandTest, ABusyProjectCancelsRunsAndStepsButNotTheRest) {
  const std::string slow = harness_.NewProject();
  const std::string idle = harness_.NewProject();
  harness_.UploadChain(slow, "slow.json");
  harness_.UploadChain(idle, "line.json");
  Gate& gate = TestPluginControl::Get().SlowGate();
  gate.Close();
  ExecuteCommandResponse response;
  ASSERT_TRUE(
      harness_.Call(&Stub::ExecuteCommand, Command(kEvaluateAsync, {slow}), &response).ok());
  EXPECT_EQ(response.status(), kOk);
  ASSERT_TRUE(gate.WaitForInside(1));

  struct Case {
    ExecuteCommandRequest request;
    zelph::CommandStatus status;
  };
  const Case kCases[] = {
      {Command(kEvaluate, {slow}), kCancelled},
      {Command(kEvaluate, {slow + "/worker:slow"}), kCancelled},
      {Command(kEvaluateAsync, {slow}), kCancelled},
      {Command(kEvaluateStep, {slow}), kCancelled},
      {Command(kResetIterations, {slow}), kOk},
      {Command(kBuildPreview, {slow + "/worker:slow"}), kOk},
      // The reply is the status of the last URL whose action ran.
      {Command(kEvaluate, {slow, idle}), kOk},
      {Command(kEvaluate, {idle, slow}), kCancelled},
  };
  for (const Case& c : kCases) {
    ExecuteCommandResponse response;
    const grpc::Status status = harness_.Call(&Stub::ExecuteCommand, c.request, &response);
    EXPECT_TRUE(status.ok()) << c.request.ShortDebugString();
    EXPECT_EQ(response.status(), c.status) << c.request.ShortDebugString();
  }
  // Loads and configuration uploads are refused too, as errors of their own.
  UploadProjectRequest upload;
  upload.set_url(slow);
  upload.mutable_file()->set_data(ChainText("line.json"));
  const grpc::Status refused = harness_.Call(&Stub::UploadProject, upload);
  EXPECT_EQ(refused.error_message(),
            "Chain not ready to execute, " + slow.substr(slow.rfind(':') + 1));

  // The interrupt takes no lock and ends the run; the project is ready again.
  ASSERT_TRUE(harness_.Call(&Stub::ExecuteCommand, Command(kInterrupt, {slow}), &response).ok());
  EXPECT_EQ(response.status(), kOk);
  ASSERT_TRUE(BackgroundWorkEnded());
  EXPECT_EQ(harness_.ProjectOf(slow)->GetState(), static_cast<int>(ProjectState::kReady));
  gate.Open();
  ASSERT_TRUE(harness_.Call(&Stub::ExecuteCommand, Command(kEvaluate, {slow}), &response).ok());
  EXPECT_EQ(response.status(), kOk);
}

// An interrupt that comes after the asynchronous run was accepted but before its chain has
// begun (held here in the plug-in's call before the run) still ends the run, although the
// chain clears its interrupt flag as it begins.
TEST_F(ExecuteCommandTest, AnInterruptBeforeTheChainBeginsEndsTheRun) {
  const std::string slow = harness_.NewProject();
  harness_.UploadChain(slow, "slow.json");
  TestPluginControl::Get().SlowGate().Close();
  std::promise<void> before_reached;
  std::promise<void> go_on;
  std::shared_future<void> go_on_signal = go_on.get_future().share();
  TestPluginControl::Get().SetEventHook([&](const std::string& event, const std::string&) {
    if (event != "before") return;
    before_reached.set_value();
    go_on_signal.wait();
  });
  ExecuteCommandResponse response;
  ASSERT_TRUE(
      harness_.Call(&Stub::ExecuteCommand, Command(kEvaluateAsync, {slow}), &response).ok());
  ASSERT_EQ(response.status(), kOk);
  before_reached.get_future().wait();
  ASSERT_TRUE(harness_.Call(&Stub::ExecuteCommand, Command(kInterrupt, {slow}), &response).ok());
  EXPECT_EQ(response.status(), kOk);
  go_on.set_value();
  EXPECT_TRUE(BackgroundWorkEnded());
  EXPECT_EQ(harness_.ProjectOf(slow)->GetState(), static_cast<int>(ProjectState::kReady));
  TestPluginControl::Get().SlowGate().Open();
}

// At the cap of runs in progress every run command is refused with RESOURCE_EXHAUSTED before
// its run is prepared: no worker runs, and the statuses of an earlier run stay (a prepared run
// would have put them back to queue). Once there is room, the same command runs.
TEST_F(ExecuteCommandTest, RunsPastTheCapAreRefusedAndChangeNothing) {
  const std::string p = harness_.NewProject();
  harness_.UploadChain(p, "line.json");
  const std::shared_ptr<Project> project = harness_.ProjectOf(p);
  ASSERT_TRUE(harness_.Call(&Stub::ExecuteCommand, Command(kEvaluate, {p})).ok());
  const auto statuses = [&] {
    std::vector<int> found;
    for (const auto& worker : project->GetChain()->GetWorkers()) {
      const auto status = project->GetObjectStatuses().Find(worker->GetId());
      found.push_back(status ? (*status)->status.load() : -1);
    }
    return found;
  };
  const std::vector<int> after_run = statuses();
  ASSERT_NE(after_run[0], static_cast<int>(ObjectStatus::kQueue));
  CountWork();

  BackgroundTasks& tasks = ServiceBackgroundTasks();
  // The service's tasks are the whole program's: the cap goes whatever the test's outcome.
  struct Uncap {
    ~Uncap() { ServiceBackgroundTasks().SetMaxRuns(0); }
  } uncap;
  tasks.SetMaxRuns(1);
  std::optional<BackgroundTasks::RunPlace> occupant(tasks.TakeRunPlace());
  for (const ExecuteCommandRequest& request :
       {Command(kEvaluate, {p}), Command(kEvaluate, {p + "/worker:scale"}),
        Command(kEvaluateAsync, {p}), Command(kEvaluateStep, {p})}) {
    SCOPED_TRACE(request.ShortDebugString());
    const grpc::Status status = harness_.Call(&Stub::ExecuteCommand, request);
    EXPECT_EQ(status.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
    EXPECT_EQ(status.error_message(),
              "Run refused: 1 runs are in progress, as many as \"max_runs\" allows");
    EXPECT_EQ(TakeWork(), 0);
    EXPECT_EQ(statuses(), after_run);
    EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  }
  occupant.reset();
  ExecuteCommandResponse response;
  EXPECT_TRUE(harness_.Call(&Stub::ExecuteCommand, Command(kEvaluateAsync, {p}), &response).ok());
  EXPECT_EQ(response.status(), kOk);
  EXPECT_TRUE(BackgroundWorkEnded());
  EXPECT_EQ(TakeWork(), 3);
}

TEST_F(ExecuteCommandTest, StepsRunOnePassEachAndResetMarksTheWorkers) {
  const std::string p = harness_.NewProject();
  harness_.UploadChain(p, "line.json");
  const std::shared_ptr<Project> project = harness_.ProjectOf(p);
  CountWork();
  for (int step = 0; step < 2; ++step) {
    ExecuteCommandResponse response;
    ASSERT_TRUE(harness_.Call(&Stub::ExecuteCommand, Command(kEvaluateStep, {p}), &response).ok());
    EXPECT_EQ(response.status(), kOk);
    EXPECT_EQ(TakeWork(), 3) << step;
    EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  }
  for (const auto& worker : project->GetChain()->GetWorkers()) worker->SetResetFlag(false);
  ASSERT_TRUE(harness_.Call(&Stub::ExecuteCommand, Command(kResetIterations, {p})).ok());
  for (const auto& worker : project->GetChain()->GetWorkers()) {
    EXPECT_TRUE(worker->GetResetFlag()) << worker->GetSystemName();
  }
}

// With visible results and the port cache asked for, a run leaves a preview of each worker;
// the command builds one again on request, from the cached data of the worker's port.
TEST_F(ExecuteCommandTest, PreviewsAreBuiltOnRequest) {
  const std::string p = harness_.NewProject();
  harness_.UploadChain(p, "line.json");
  const std::shared_ptr<Project> project = harness_.ProjectOf(p);
  for (const char* flag : {tmp::kCreateVisibleResult, tmp::kEnableCache}) {
    SetDataRequest request;
    request.set_url(p + "/property:" + flag);
    request.mutable_data()->set_bool_val(true);
    ASSERT_TRUE(harness_.Call(&Stub::SetData, request).ok());
  }
  SetDataRequest input;
  input.set_url(p + "/input:source");
  GMat* mat = input.mutable_data()->mutable_mat();
  input.mutable_data()->set_url("source");
  mat->set_channels(1);
  mat->add_dims(8);
  mat->add_dims(8);
  mat->set_buffer(std::string(64, '\x40'));
  ASSERT_TRUE(harness_.Call(&Stub::SetData, input).ok());
  ASSERT_TRUE(harness_.Call(&Stub::ExecuteCommand, Command(kEvaluate, {p})).ok());
  ASSERT_TRUE(BackgroundWorkEnded());
  const std::string key = "/preview:" + project->GetWorker("scale")->GetId();
  ASSERT_NE(project->GetCache(key).data, nullptr);

  project->GetServiceCache().Erase(key);
  ExecuteCommandResponse response;
  ASSERT_TRUE(
      harness_.Call(&Stub::ExecuteCommand, Command(kBuildPreview, {p + "/worker:scale"}), &response)
          .ok());
  EXPECT_EQ(response.status(), kOk);
  ASSERT_TRUE(BackgroundWorkEnded());
  EXPECT_NE(project->GetCache(key).data, nullptr);
}

}  // namespace
}  // namespace zelph::testing
