// project_shutdown_test.cpp
//
// The shutdown of the service's background work with runs and previews in flight: it
// interrupts the runs, drops the previews not yet started, ends within its bound, and
// refuses new runs and previews afterwards. Shutdown is for good, so this scenario has a
// process of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "run_support.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/projects/statistic.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::FilledImage;
using testing::LoadedProject;
using testing::TestPluginControl;

TEST(ProjectShutdownTest, AShutdownWithHundredRunsAndPreviewsInFlightEndsWithinItsBound) {
  testing::LoadServiceTestPlugin();
  TestPluginControl& control = TestPluginControl::Get();
  control.Reset();

  // Previews in flight: three workers of twenty projects, of frames large enough to queue.
  std::vector<std::shared_ptr<Project>> previewing;
  for (int i = 0; i < 20; ++i) {
    previewing.push_back(LoadedProject("line.json", {tmp::kCreateVisibleResult}));
    previewing.back()->SetCache("/input:source", FilledImage(1920, 1080, 3, kDepth8U));
    previewing.back()->Execute();
  }
  // A hundred runs, each waiting in its Slow worker until it is interrupted.
  control.SlowGate().Close();
  std::vector<std::shared_ptr<Project>> running;
  for (int i = 0; i < 100; ++i) {
    running.push_back(LoadedProject("slow_line.json"));
    running.back()->ExecuteAsync();
  }
  ASSERT_TRUE(control.SlowGate().WaitForInside(100));

  const auto bound = std::chrono::seconds(10);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(ServiceBackgroundTasks().Shutdown(bound));
  EXPECT_LT(std::chrono::steady_clock::now() - start, bound);

  for (const auto& project : running) {
    EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
    // Interrupted in its Slow worker: the sink never ran.
    const auto sink = project->FindStatistic(testing::kSlowLineSinkId);
    std::shared_lock lock(sink->lock);
    EXPECT_EQ(sink->stage, kStageInit);
  }

  // From now on nothing new starts.
  try {
    running.front()->ExecuteAsync();
    ADD_FAILURE() << "started";
  } catch (const EvaluateCancelled& e) {
    EXPECT_EQ(std::string(e.what()),
              "Service is shutting down, run refused: " + running.front()->GetId());
  }
  EXPECT_EQ(running.front()->GetState(), static_cast<int>(ProjectState::kReady));
  auto& project = previewing.front();
  project->GetServiceCache().Clear();
  // An image to show, whose preview the pool would make: it runs, without previews.
  project->SetCache("/input:source", FilledImage(16, 16, 3, kDepth8U));
  project->Execute();
  EXPECT_FALSE(project->GetServiceCache().Find(std::string("/preview:") + testing::kLineSourceId));
  control.SlowGate().Open();
}

}  // namespace
}  // namespace zelph
