// project_runs_concurrency_test.cpp
//
// Runs and previews beside the other users of a project: an asynchronous run keeps
// structural edits out for its whole length; edits and removals while runs and previews are
// in flight (a removal interrupts the project's runs, and a session with a run in progress
// does not expire); the preview pool under a burst; previews of port data that the
// next run is publishing; writers among many readers; and run threads that end with their
// runs.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "run_support.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/abandoned_call_watch.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/projects/session.h"
#include "zelph/projects/store.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::FilledImage;
using testing::LoadedProject;
using testing::TestPluginControl;
using testing::WaitForBackgroundWork;

class ProjectRunsConcurrencyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { control().Reset(); }
  void TearDown() override {
    control().SlowGate().Open();
    EXPECT_TRUE(WaitForBackgroundWork());
    control().Reset();
  }

  static TestPluginControl& control() { return TestPluginControl::Get(); }
};

// Starts an asynchronous run, retrying while the previous one is still under way.
void StartRun(Project& project) {
  while (true) {
    try {
      project.ExecuteAsync();
      return;
    } catch (const EvaluateCancelled&) {
      std::this_thread::yield();
    }
  }
}

// Whether an exclusive hold of the project lock would have to wait now.
bool HeldByOthers(Project& project) {
  if (!project.GetLock().try_lock()) return true;
  project.GetLock().unlock();
  return false;
}

// Whether a new shared hold of the project lock would have to wait now: with a run holding
// it shared, only because an edit is queued.
bool ReadersWait(Project& project) {
  if (!project.GetLock().try_lock_shared()) return true;
  project.GetLock().unlock_shared();
  return false;
}

int ThreadCount() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    (void)entry;
    ++count;
  }
  return count;
}

TEST_F(ProjectRunsConcurrencyTest, AnAsynchronousRunKeepsStructuralEditsOutUntilItEnds) {
  auto project = LoadedProject("slow_line.json");
  control().SlowGate().Close();
  project->ExecuteAsync();
  // The hold passed to the run thread without a gap: no edit got in before the run began.
  EXPECT_TRUE(HeldByOthers(*project));
  ASSERT_TRUE(control().SlowGate().WaitForInside(1));
  EXPECT_TRUE(HeldByOthers(*project));

  // Readers go on beside the run (but not once an edit waits: writers go first).
  EXPECT_EQ(project->GetWorker("slow")->GetId(), testing::kSlowLineSlowId);
  project->GetChainProperties()->SetValue("chain.name", std::string("renamed"));
  auto edit = std::async(std::launch::async, [&] { project->ApplyChainProperty("chain.name"); });
  EXPECT_EQ(edit.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  control().SlowGate().Open();
  edit.get();
  EXPECT_EQ(project->GetChain()->GetName(), "renamed");
  ASSERT_TRUE(WaitForBackgroundWork());
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  EXPECT_FALSE(HeldByOthers(*project));
}

TEST_F(ProjectRunsConcurrencyTest, AStatusReadNeverWaitsBehindARunAndTheEditQueuedAfterIt) {
  auto project = LoadedProject("slow_line.json");
  control().SlowGate().Close();
  project->ExecuteAsync();
  ASSERT_TRUE(control().SlowGate().WaitForInside(1));
  auto edit = std::async(std::launch::async, [&] {
    project->RemoveWorker(testing::kSlowLineSinkId, [](std::string) {});
  });
  while (!ReadersWait(*project)) std::this_thread::yield();

  // The run is held at the gate, so the edit stays queued until the gate opens: a read that
  // answers before then took no project lock.
  auto read = std::async(std::launch::async, [&] {
    const std::shared_ptr<ObjectStatusData> status = project->GetChainStatus();
    return status ? status->status.load() : 0;
  });
  const bool answered = read.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(ReadersWait(*project));
  EXPECT_NE(edit.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  control().SlowGate().Open();
  edit.get();
  ASSERT_TRUE(answered);
  EXPECT_EQ(read.get(), static_cast<int>(ObjectStatus::kExecuting));
}

TEST_F(ProjectRunsConcurrencyTest, StructuralEditsWaitForAsynchronousRunsThatLoop) {
  auto project = LoadedProject("line.json", {tmp::kEnableCache});
  project->SetCache("/input:source", FilledImage(16, 16, 1, kDepth8U));
  const char* strategies[] = {"graph", "rgraph", "base", "output_broadcast"};
  const std::vector<std::function<void(int)>> edits = {
      // A worker joins the chain with a link, the link is re-plugged, the worker goes.
      [&](int) {
        std::string id;
        {
          std::unique_lock lock(project->GetLock());
          auto worker = project->GetChain()->CreateWorker("", testing::kScaleModel);
          project->GetChain()->AddWorker(worker);
          id = worker->GetId();
        }
        const std::string input = project->GetWorker(id)->GetPorts().front()->GetId();
        const std::string link =
            project->CreateLink(testing::kLineSourceId, testing::kLineSourceOutput, id, input);
        project->UpdateLink(link, testing::kLineScaleOutput, input);
        project->RemoveWorker(id, [](std::string) {});
      },
      [&](int) {
        project->UpdateLink(testing::kLineSecondLink, testing::kLineScaleOutput,
                            testing::kLineSinkInput);
      },
      [&](int i) {
        project->GetChainProperties()->SetValue("chain.execution.strategy",
                                                std::string(strategies[i % 4]));
        project->ApplyChainProperty("chain.execution.strategy");
      },
  };
  std::atomic<int> editing{static_cast<int>(edits.size())};
  std::vector<std::thread> editors;
  for (const auto& edit : edits) {
    editors.emplace_back([&] {
      for (int i = 0; i < 40; ++i) edit(i);
      --editing;
    });
  }
  int runs = 0;
  for (; editing > 0 || runs < 10; ++runs) StartRun(*project);
  for (std::thread& editor : editors) editor.join();
  ASSERT_TRUE(WaitForBackgroundWork());

  std::shared_lock lock(project->GetLock());
  const auto workers = project->GetChain()->GetWorkers();
  EXPECT_EQ(workers.size(), 3u);
  for (Link* link : project->GetChain()->GetLinks()) {
    for (const auto& end : {link->GetSrcWorker(), link->GetDstWorker()}) {
      EXPECT_NE(std::find(workers.begin(), workers.end(), end), workers.end());
    }
  }
}

// A run waiting in the Slow worker of "slow_line.json" until it is interrupted, on a
// background thread (asynchronous) or on a thread of the test (synchronous).
class WaitingRun {
 public:
  WaitingRun(const std::shared_ptr<Project>& project, bool asynchronous) {
    TestPluginControl::Get().SlowGate().Close();
    if (asynchronous) {
      project->ExecuteAsync();
    } else {
      // The thread's hold of the project ends with the run, not with the future.
      ended_ = std::async(std::launch::async, [copy = project]() mutable {
        const std::shared_ptr<Project> held = std::move(copy);
        held->Execute();
      });
    }
  }
  // Whether the run ended within the bound, without the gate being opened.
  bool EndsWithoutTheGate() {
    if (!ended_.valid()) return WaitForBackgroundWork();
    return ended_.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  }
  ~WaitingRun() {
    TestPluginControl::Get().SlowGate().Open();
    if (ended_.valid()) ended_.wait();
  }

 private:
  std::future<void> ended_;
};

// A project of session "s1" in `store`, loaded with "slow_line.json" and run once, so that
// previews of its three workers are under way.
std::shared_ptr<Project> SlowProject(Store& store, std::string& plugin_key) {
  store.CreateSession("s1");
  auto session = store.GetSession("s1");
  session->CreateProject("p1");
  auto project = session->GetProject("p1");
  plugin_key = project->GetPluginSessionKey();
  project->GetChainProperties()->SetValue(tmp::kCreateVisibleResult, true);
  project->LoadProjectFile(testing::ChainFile("slow_line.json"));
  project->SetCache("/input:source", FilledImage(512, 512, 3, kDepth8U));
  project->Execute();
  return project;
}

// A run of SlowProject waiting in its Slow worker, the project held by `store` alone; null
// when the run did not reach the worker.
std::unique_ptr<WaitingRun> StartSlowRun(Store& store, std::string& plugin_key, bool asynchronous) {
  auto run = std::make_unique<WaitingRun>(SlowProject(store, plugin_key), asynchronous);
  if (!TestPluginControl::Get().SlowGate().WaitForInside(1)) return nullptr;
  return run;
}

TEST_F(ProjectRunsConcurrencyTest, RemovalInterruptsARunAndTheProjectLivesUntilTheRunHasEnded) {
  enum class Removal { kFromItsSession, kWithItsSession };
  for (const Removal removal : {Removal::kFromItsSession, Removal::kWithItsSession}) {
    for (const bool asynchronous : {true, false}) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(removal) << " async " << asynchronous);
      control().Reset();
      Store store;
      std::string key;
      std::unique_ptr<WaitingRun> run = StartSlowRun(store, key, asynchronous);
      ASSERT_TRUE(run);
      std::atomic<int> inside_at_destruction{-1};
      control().SetClearSessionHook([&](const std::string& cleared) {
        if (cleared == key) inside_at_destruction = control().SlowGate().Inside();
      });
      if (removal == Removal::kFromItsSession) {
        EXPECT_TRUE(store.GetSession("s1")->RemoveProject("p1"));
      } else {
        EXPECT_TRUE(store.RemoveSession("s1"));
      }
      EXPECT_TRUE(run->EndsWithoutTheGate());
      ASSERT_TRUE(WaitForBackgroundWork());
      // Its own upload, then its destruction once the run had left the worker.
      EXPECT_EQ(control().ClearCount(key), 2);
      EXPECT_EQ(inside_at_destruction, 0);
      run.reset();
      control().SetClearSessionHook(nullptr);
    }
  }
}

TEST_F(ProjectRunsConcurrencyTest, ARunInProgressKeepsItsSessionFromExpiring) {
  for (const bool asynchronous : {true, false}) {
    SCOPED_TRACE(asynchronous);
    control().Reset();
    Store store;
    std::string key;
    std::unique_ptr<WaitingRun> run = StartSlowRun(store, key, asynchronous);
    ASSERT_TRUE(run);
    store.GetSession("s1")->SetIdleTimeout(1);
    const auto long_after = [] { return std::chrono::steady_clock::now() + std::chrono::hours(1); };
    store.RemoveIdleSessions(long_after());
    EXPECT_TRUE(store.HasSession("s1"));
    run.reset();  // opens the gate and waits for a synchronous run
    ASSERT_TRUE(WaitForBackgroundWork());
    store.RemoveIdleSessions(long_after());
    EXPECT_FALSE(store.HasSession("s1"));
  }
}

TEST_F(ProjectRunsConcurrencyTest, ABurstOfPreviewsKeepsTheThreadsBoundedAndStoresTheNewest) {
  auto project = LoadedProject("line.json", {tmp::kCreateVisibleResult});
  ASSERT_TRUE(WaitForBackgroundWork());  // the pool exists from here on
  ServiceAbandonedCallWatch();           // and so does the thread that watches runs' callers
  const int threads_before = ThreadCount();
  std::atomic<bool> sampling{true};
  std::atomic<int> peak{0};
  std::thread sampler([&] {
    while (sampling) peak = std::max(peak.load(), ThreadCount());
  });
  std::uint8_t last = 0;
  for (int run = 0; run < 150; ++run) {
    last = static_cast<std::uint8_t>(40 + run);
    project->SetCache("/input:source", FilledImage(600, 400, 3, kDepth8U, last));
    project->Execute();
  }
  ASSERT_TRUE(WaitForBackgroundWork());
  sampling = false;
  sampler.join();
  EXPECT_LE(peak, threads_before + 1);  // the sampler itself
  const auto preview = std::dynamic_pointer_cast<PortDataMat>(
      project->GetCache(std::string("/preview:") + testing::kLineSinkId).data);
  ASSERT_NE(preview, nullptr);
  const cv::Mat decoded = cv::imdecode(cv::Mat(1, static_cast<int>(preview->GetSize()), CV_8U,
                                               const_cast<char*>(preview->GetData())),
                                       cv::IMREAD_UNCHANGED);
  EXPECT_NEAR(cv::mean(decoded)[0], last, 2.0);
}

TEST_F(ProjectRunsConcurrencyTest, APreviewOfCachedDataBuiltWhileTheNextRunRunsIsAValidJpeg) {
  auto project = LoadedProject("line.json", {tmp::kCreateVisibleResult, tmp::kEnableCache});
  const std::string preview_key = std::string("/preview:") + testing::kLineScaleId;
  std::atomic<bool> running{true};
  std::atomic<bool> first_checked{false};
  std::thread runner([&] {
    for (int run = 0; run < 80; ++run) {
      project->SetCache("/input:source",
                        FilledImage(300, 200, 3, kDepth8U, static_cast<std::uint8_t>(run)));
      project->Execute();
      // The reader checks a preview of the first run before the others follow, so the runs
      // cannot all end before the reader has seen one, however the threads are scheduled.
      if (run == 0) first_checked.wait(false);
    }
    running = false;
  });
  auto scale = project->GetWorker("scale");
  int checked = 0;
  while (running) {
    project->BuildPreview(scale);
    const auto preview =
        std::dynamic_pointer_cast<PortDataMat>(project->GetCache(preview_key).data);
    if (!preview) continue;
    const cv::Mat decoded = cv::imdecode(cv::Mat(1, static_cast<int>(preview->GetSize()), CV_8U,
                                                 const_cast<char*>(preview->GetData())),
                                         cv::IMREAD_UNCHANGED);
    EXPECT_FALSE(decoded.empty());
    EXPECT_EQ(decoded.cols, 150);
    EXPECT_EQ(decoded.rows, 100);
    if (++checked == 1) {
      first_checked = true;
      first_checked.notify_one();
    }
  }
  runner.join();
  EXPECT_GT(checked, 0);
}

TEST_F(ProjectRunsConcurrencyTest, AnEditWaitsABoundedTimeWhileSixteenThreadsRead) {
  auto project = LoadedProject("line.json");
  std::atomic<bool> reading{true};
  std::atomic<long> reads{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 16; ++r) {
    readers.emplace_back([&] {
      while (reading) {
        project->GetWorker("scale");
        project->GetChainJson();
        ++reads;
      }
    });
  }
  // On a busy machine the edits could otherwise be over before a reader has begun.
  while (reads == 0) std::this_thread::yield();
  std::chrono::steady_clock::duration longest{};
  for (int edit = 0; edit < 50; ++edit) {
    const auto start = std::chrono::steady_clock::now();
    project->UpdateLink(testing::kLineSecondLink, testing::kLineScaleOutput,
                        testing::kLineSinkInput);
    longest = std::max(longest, std::chrono::steady_clock::now() - start);
  }
  const long reads_during_edits = reads;
  reading = false;
  for (std::thread& reader : readers) reader.join();
  // A starved writer would wait for as long as readers keep coming.
  EXPECT_LT(longest, std::chrono::seconds(5));
  EXPECT_GT(reads_during_edits, 0);
}

TEST_F(ProjectRunsConcurrencyTest, RunThreadsEndWithTheirRunsAndReleaseWhatTheyBound) {
  auto project = LoadedProject("line.json");
  project->Execute();  // this thread is bound from here on
  const int bound_before = control().AttachedThreads();
  for (int run = 0; run < 100; ++run) StartRun(*project);
  ASSERT_TRUE(WaitForBackgroundWork());
  EXPECT_TRUE(control().WaitForAttachedThreads(bound_before));
}

}  // namespace
}  // namespace zelph
