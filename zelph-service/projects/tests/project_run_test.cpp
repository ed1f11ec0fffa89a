// project_run_test.cpp
//
// Runs of a project as clients see them: the order in which statistics, statuses, cache
// entries and the plug-in calls change around each worker of a synchronous run, a second
// run after the reset, a single worker run alone, a step, a failing worker, a run that
// throws, and the refusals of a busy project.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "run_support.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/object_status.h"
#include "zelph/projects/project.h"
#include "zelph/projects/statistic.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::ChainFile;
using testing::FilledImage;
using testing::LoadedProject;
using testing::TestPluginControl;

class ProjectRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { control().Reset(); }
  void TearDown() override {
    EXPECT_TRUE(testing::WaitForBackgroundWork());
    control().Reset();
  }

  static TestPluginControl& control() { return TestPluginControl::Get(); }
};

// "<stage> <order> <status>" of a worker or of the chain; "-" for what it lacks. With
// `document`, the stage its rendered document shows follows the stage in brackets, since
// the two may differ.
std::string Describe(Project& project, const std::string& id, bool document = false) {
  std::string text = "- -";
  if (auto statistic = project.FindStatistic(id)) {
    std::shared_lock lock(statistic->lock);
    text = StatisticStageName(statistic->stage);
    lock.unlock();
    if (document) {
      const std::string json = statistic->GetDocument().data->GetStr();
      const std::size_t start = json.find("\"stage\":\"") + 9;
      text += "(" + json.substr(start, json.find('"', start) - start) + ")";
    }
    lock.lock();
    text += " " + std::to_string(statistic->order);
  }
  auto status = project.GetObjectStatuses().Find(id);
  return text + " " + (status ? ObjectStatusText((*status)->status) : "-");
}

// Writes down, at each event of the test plug-in, what a client would read of the project
// at that moment, one line per event, workers and ports named by system name:
//   "<event> <subject> | <worker> <stage> <order> <status> ... | chain <stage>(<document
//    stage>) <order> <status> | cached: <ports> | outputs: <workers> | system: <names>"
// "cached" lists the ports with a "/cache:" entry, "outputs" the workers all of whose ports
// have their three "/worker:" entries, "system" the "/output:" entries. The subject of a
// plug-in call is "key" for the project's plug-in key; a "work" line also tells whether
// the worker's input holds `input` itself ("in=input"), nothing ("in=-") or other data.
class RunRecorder {
 public:
  RunRecorder(Project& project, std::shared_ptr<IPortData> input)
      : project_(project), input_(std::move(input)) {
    for (const auto& worker : project.GetChain()->GetWorkers()) {
      for (const Port* port : worker->GetPorts()) {
        port_names_[port->GetId()] = worker->GetSystemName() + "." + port->GetName();
      }
    }
    TestPluginControl::Get().SetEventHook(
        [this](const std::string& event, const std::string& subject) { Record(event, subject); });
  }
  ~RunRecorder() { TestPluginControl::Get().SetEventHook(nullptr); }
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  // The lines so far; the next call starts afresh.
  std::vector<std::string> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
  }

 private:
  void Record(const std::string& event, const std::string& subject) {
    IDataProcessChain& chain = *project_.GetChain();
    std::string line = event;
    if (event == "work") {
      const auto worker = chain.FindWorker(subject);
      const auto data = worker->GetPorts().front()->GetData();
      line += " " + worker->GetSystemName() +
              (data == input_ ? " in=input"
               : data         ? " in=other"
                              : " in=-");
    } else {
      line += subject == project_.GetPluginSessionKey() ? " key" : " " + subject;
    }
    std::set<std::string> keys;
    project_.GetServiceCache().ForEach(
        [&](const std::string& key, const DataEx&) { keys.insert(key); });
    std::set<std::string> cached_ports;
    std::string cached, outputs, system;
    for (const std::string& key : keys) {
      if (key.starts_with("/cache:")) cached_ports.insert(port_names_[key.substr(7)]);
      if (key.starts_with("/output:")) system += " " + key.substr(8);
    }
    for (const std::string& port : cached_ports) cached += " " + port;
    for (const auto& worker : chain.GetWorkers()) {
      line += " | " + worker->GetSystemName() + " " + Describe(project_, worker->GetId());
      bool all = true;
      for (const Port* port : worker->GetPorts()) {
        const std::string by_id = "/worker:" + worker->GetId() + "/output:";
        const std::string by_name = "/worker:" + worker->GetSystemName() + "/output:";
        all = all && keys.contains(by_id + port->GetId()) &&
              keys.contains(by_id + port->GetName()) && keys.contains(by_name + port->GetName());
      }
      if (all) outputs += " " + worker->GetSystemName();
    }
    line += " | chain " + Describe(project_, chain.GetId(), true) + " | cached:" + cached +
            " | outputs:" + outputs + " | system:" + system;
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
  }

  Project& project_;
  const std::shared_ptr<IPortData> input_;
  std::map<std::string, std::string> port_names_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

// `line` with its "cached:" list emptied.
std::string WithoutCache(std::string line) {
  const std::size_t start = line.find("cached:") + 7;
  line.erase(start, line.find(" |", start) - start);
  return line;
}

TEST_F(ProjectRunTest, ASynchronousRunReportsEveryWorkerInOrderAndASecondRunStartsAfresh) {
  const std::vector<std::string> first_run = {
      "before key | source init 0 - | scale init 1 - | sink init 2 - | chain init(init) 3 ready"
      " | cached: | outputs: | system:",
      "work source in=input | source executing 0 executing | scale init 1 - | sink init 2 -"
      " | chain executing(init) 3 executing | cached: | outputs: | system:",
      "work scale in=input | source executed 1 ready | scale executing 1 executing | sink init 2 -"
      " | chain executing(init) 3 executing | cached: scale.input source.input source.output"
      " | outputs: source | system:",
      "work sink in=input | source executed 1 ready | scale executed 2 ready"
      " | sink executing 2 executing | chain executing(init) 3 executing"
      " | cached: scale.input scale.output sink.input source.input source.output"
      " | outputs: source scale | system:",
      "after key | source executed 1 ready | scale executed 2 ready | sink executed 3 ready"
      " | chain executed(executed) 4 ready"
      " | cached: scale.input scale.output sink.input sink.output source.input source.output"
      " | outputs: source scale sink | system: sink",
  };
  const std::string all_cached =
      " | cached: scale.input scale.output sink.input sink.output source.input source.output"
      " | outputs: source scale sink | system: sink";
  const std::vector<std::string> second_run = {
      "before key | source init 0 queue | scale init 1 queue | sink init 2 queue"
      " | chain init(init) 3 ready" +
          all_cached,
      "work source in=input | source executing 0 executing | scale init 1 queue"
      " | sink init 2 queue | chain executing(init) 3 executing" +
          all_cached,
      "work scale in=input | source executed 1 ready | scale executing 1 executing"
      " | sink init 2 queue | chain executing(init) 3 executing" +
          all_cached,
      "work sink in=input | source executed 1 ready | scale executed 2 ready"
      " | sink executing 2 executing | chain executing(init) 3 executing" +
          all_cached,
      "after key | source executed 1 ready | scale executed 2 ready | sink executed 3 ready"
      " | chain executed(executed) 4 ready" +
          all_cached,
  };
  for (const bool cache : {true, false}) {
    SCOPED_TRACE(cache ? "cache on" : "cache off");
    auto project =
        cache ? LoadedProject("line.json", {tmp::kEnableCache}) : LoadedProject("line.json");
    auto input = FilledImage(4, 2, 1, kDepth8U);
    project->SetCache("/input:source", input);
    RunRecorder recorder(*project, input);
    for (const auto* expected : {&first_run, &second_run}) {
      project->Execute();
      const std::vector<std::string> lines = recorder.Take();
      ASSERT_EQ(lines.size(), expected->size());
      for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], cache ? (*expected)[i] : WithoutCache((*expected)[i]));
      }
    }
    EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
    // Data is shared along the whole way, never copied.
    EXPECT_EQ(project->GetCache("/output:sink").data, input);
  }
}

// The line with its Scale worker made a Fail worker.
std::string LineWithFailingScale() {
  std::string text = testing::ChainText("line.json");
  const std::string scale = testing::kScaleModel;
  text.replace(text.find(scale), scale.size(), testing::kFailModel);
  return text;
}

TEST_F(ProjectRunTest, LoadingTimeWorkersKeepTheirLoadStatisticThroughRuns) {
  auto project = LoadedProject("main_settings.json");
  // A strategy that runs each worker at its own stage only.
  project->GetChainProperties()->SetValue("chain.execution.strategy", "graph");
  project->ApplyChainProperty("chain.execution.strategy");
  const std::string chain_id = project->GetChain()->GetId();
  const std::string loader = project->GetWorker("loader")->GetId();
  const std::string dashboard = project->GetWorker("dashboard")->GetId();
  const std::string value = project->GetWorker("value")->GetId();
  // It ran at the loading stage, before its statistic was reset for the load.
  EXPECT_EQ(Describe(*project, loader), "load 0 ready");
  EXPECT_EQ(Describe(*project, dashboard), "load 1 -");
  EXPECT_EQ(Describe(*project, value), "load 2 -");
  EXPECT_EQ(Describe(*project, chain_id, true), "load(load) 3 ready");
  project->Execute();
  // Queued with the others, but not run at the run-time stage (the graph strategy takes
  // the unlinked value worker first).
  EXPECT_EQ(Describe(*project, loader), "load 0 queue");
  EXPECT_EQ(Describe(*project, dashboard), "executed 2 ready");
  EXPECT_EQ(Describe(*project, value), "executed 1 ready");
  EXPECT_EQ(Describe(*project, chain_id, true), "executed(executed) 3 ready");
  project->ResetStatistics(kStageInit);
  EXPECT_EQ(Describe(*project, loader), "load 0 queue");
  EXPECT_EQ(Describe(*project, dashboard), "init 0 ready");
  EXPECT_EQ(Describe(*project, value), "init 1 ready");
  EXPECT_EQ(Describe(*project, chain_id, true), "init(init) 2 ready");
}

TEST_F(ProjectRunTest, ASingleWorkerRunsAloneOnWhatTheCacheHoldsForItsInputs) {
  auto project = LoadedProject("line.json");
  const std::string chain_id = project->GetChain()->GetId();
  auto scale = project->GetWorker("scale");
  std::vector<std::string> events;
  control().SetEventHook(
      [&](const std::string& event, const std::string&) { events.push_back(event); });

  // Unknown: refused before anything changes.
  try {
    project->ExecuteWorker("nobody");
    ADD_FAILURE() << "ran";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Executor not found with id: nobody");
  }
  EXPECT_EQ(Describe(*project, chain_id, true), "load(load) 3 ready");

  // No "/cache:" entry for its input: the port is emptied, whatever it held.
  scale->GetPorts().front()->SetData(FilledImage(2, 2, 1, kDepth8U));
  project->ExecuteWorker("scale");
  EXPECT_EQ(project->GetCache("/worker:scale/output:output").data, nullptr);
  EXPECT_TRUE(project->GetServiceCache().Find("/worker:scale/output:output"));

  const auto input = FilledImage(2, 2, 1, kDepth8U);
  project->SetCache(std::string("/cache:") + testing::kLineScaleInput, input);
  project->ExecuteWorker(testing::kLineScaleId);
  EXPECT_EQ(project->GetCache("/worker:scale/output:output").data, input);

  // Only that worker ran: no plug-in calls, the chain and the others reset but not run.
  EXPECT_EQ(events, std::vector<std::string>({"work", "work"}));
  EXPECT_EQ(Describe(*project, scale->GetId()), "executed 1 ready");
  EXPECT_EQ(Describe(*project, project->GetWorker("source")->GetId()), "init 0 -");
  EXPECT_EQ(Describe(*project, chain_id, true), "init(init) 3 ready");
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
}

TEST_F(ProjectRunTest, AStepRunsOnePassWithoutThePluginCalls) {
  auto project = LoadedProject("line.json");
  project->Execute();
  std::vector<std::string> events;
  control().SetEventHook(
      [&](const std::string& event, const std::string&) { events.push_back(event); });
  project->ExecuteStep();
  EXPECT_EQ(events, std::vector<std::string>({"work", "work", "work"}));
  EXPECT_EQ(Describe(*project, project->GetWorker("sink")->GetId()), "executed 3 ready");
  EXPECT_EQ(Describe(*project, project->GetChain()->GetId(), true), "executed(executed) 4 ready");
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
}

TEST_F(ProjectRunTest, AFailedWorkerIsReportedAndTheWorkersAfterItDoNotRun) {
  auto project = Project::Create("p1");
  project->GetChainProperties()->SetValue(tmp::kCreateVisibleResult, true);
  project->UploadProject(LineWithFailingScale(), ChainFile("line.json"));
  project->SetCache("/input:source", FilledImage(4, 4, 1, kDepth8U));
  for (int run = 0; run < 2; ++run) project->Execute();
  ASSERT_TRUE(testing::WaitForBackgroundWork());

  const auto fail = project->GetWorker("scale");
  EXPECT_EQ(Describe(*project, fail->GetId()), "executed 2 ready");
  auto statistic = project->FindStatistic(fail->GetId());
  {
    std::shared_lock lock(statistic->lock);
    EXPECT_EQ(statistic->error_message, testing::kScriptedFailure);
    EXPECT_EQ(statistic->error_class_name, "ScriptedError");
  }
  // The chain stopped after the failure: the sink never ran and never got a status.
  EXPECT_EQ(Describe(*project, project->GetWorker("sink")->GetId()), "init 2 -");
  EXPECT_EQ(Describe(*project, project->GetChain()->GetId(), true), "executed(executed) 3 ready");
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  // A worker with an error makes no preview; the one before it does.
  EXPECT_FALSE(project->GetServiceCache().Find("/preview:" + fail->GetId()));
  EXPECT_TRUE(project->GetServiceCache().Find(std::string("/preview:") + testing::kLineSourceId));
}

TEST_F(ProjectRunTest, ARunThatThrowsSkipsAfterExecutingAllAndLeavesTheProjectReady) {
  auto project = LoadedProject("line.json");
  const std::string scale = project->GetWorker("scale")->GetId();
  std::vector<std::string> events;
  control().SetEventHook([&](const std::string& event, const std::string& subject) {
    events.push_back(event);
    if (event == "work" && subject == scale) throw std::runtime_error("Scripted work failure");
  });
  try {
    project->Execute();
    ADD_FAILURE() << "ran";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Scripted work failure");
  }
  EXPECT_EQ(events, std::vector<std::string>({"before", "work", "work"}));
  // The worker's end steps ran while its exception passed.
  EXPECT_EQ(Describe(*project, scale), "executed 2 ready");
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));

  control().SetEventHook(nullptr);
  project->Execute();
  EXPECT_EQ(Describe(*project, project->GetChain()->GetId(), true), "executed(executed) 4 ready");
}

TEST_F(ProjectRunTest, ABusyProjectRefusesEveryRunAtOnceAndRunsAgainOnceItIsDone) {
  auto project = LoadedProject("slow_line.json");
  const std::string slow = project->GetWorker("slow")->GetId();
  std::vector<std::string> events;
  std::mutex events_mutex;
  control().SetEventHook([&](const std::string& event, const std::string& subject) {
    std::lock_guard lock(events_mutex);
    events.push_back(event + (subject == project->GetPluginSessionKey() ? " key" : ""));
  });
  control().SlowGate().Close();
  project->ExecuteAsync();
  ASSERT_TRUE(control().SlowGate().WaitForInside(1));

  struct Refusal {
    const char* name;
    std::function<void()> call;
    const char* text;
  };
  const std::string not_ready = "Chain not ready to execute, p1";
  const Refusal refusals[] = {
      {"Execute", [&] { project->Execute(); }, not_ready.c_str()},
      {"ExecuteAsync", [&] { project->ExecuteAsync(); }, not_ready.c_str()},
      {"ExecuteWorker", [&] { project->ExecuteWorker("source"); }, not_ready.c_str()},
      {"ExecuteStep", [&] { project->ExecuteStep(); }, "Chain not ready to evaluate"},
      {"UploadProject", [&] { project->LoadProjectFile(ChainFile("slow_line.json")); },
       not_ready.c_str()},
  };
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.name);
    try {
      refusal.call();
      ADD_FAILURE() << "entered";
    } catch (const EvaluateCancelled& e) {
      EXPECT_STREQ(e.what(), refusal.text);
    }
  }
  // Nothing of the running run was touched.
  EXPECT_EQ(Describe(*project, slow), "executing 1 executing");
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kExecuting));

  control().SlowGate().Open();
  ASSERT_TRUE(testing::WaitForBackgroundWork());
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  EXPECT_EQ(Describe(*project, project->GetChain()->GetId(), true), "executed(executed) 4 ready");
  project->Execute();
  std::lock_guard lock(events_mutex);
  EXPECT_EQ(events, std::vector<std::string>({"before key", "work", "work", "work", "after key",
                                              "before key", "work", "work", "work", "after key"}));
}

}  // namespace
}  // namespace zelph
