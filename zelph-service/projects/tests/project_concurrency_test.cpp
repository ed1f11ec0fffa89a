// project_concurrency_test.cpp
//
// One project used from many threads: the state word lets at most one load in and refuses
// the others at once, and chain property changes stay apart from readers of the chain.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "zelph/chains/data_process_chain.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::TestPluginControl;

class ProjectConcurrencyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { TestPluginControl::Get().Reset(); }
  void TearDown() override { TestPluginControl::Get().Reset(); }
};

TEST_F(ProjectConcurrencyTest, LoadsFromManyThreadsEnterOneAtATime) {
  auto project = Project::Create("p1");
  const std::string path = testing::ChainFile("main_settings.json");
  const std::string text = testing::ChainText("main_settings.json");
  std::atomic<int> loaded{0};
  std::atomic<int> refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) {
        try {
          if ((i + t) % 2 == 0) {
            project->UploadProject(text, path);
          } else {
            project->LoadProjectFile(path);
          }
          ++loaded;
        } catch (const EvaluateCancelled&) {
          ++refused;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  TestPluginControl& control = TestPluginControl::Get();
  EXPECT_EQ(loaded + refused, 80);
  EXPECT_GE(loaded, 1);
  EXPECT_EQ(control.LoaderGate().Peak(), 1);
  EXPECT_EQ(control.LoaderGate().Entered(), loaded);
  // Only the loads that got in cleared the project's models.
  EXPECT_EQ(control.ClearCount(project->GetPluginSessionKey()), loaded);
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  EXPECT_EQ(project->GetChain()->GetId(), testing::kMainChainId);
}

TEST_F(ProjectConcurrencyTest, EveryLoadIntoABusyProjectIsRefusedWithoutWaiting) {
  auto project = Project::Create("p1");
  TestPluginControl& control = TestPluginControl::Get();
  control.LoaderGate().Close();
  auto blocked = std::async(std::launch::async, [&] {
    project->LoadProjectFile(testing::ChainFile("main_settings.json"));
  });
  ASSERT_TRUE(control.LoaderGate().WaitForInside(1));
  // The gate stays closed until every other thread is done: one that waited would hang.
  std::atomic<int> refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        try {
          project->UploadProject(testing::ChainText("line.json"), "");
        } catch (const EvaluateCancelled&) {
          ++refused;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(refused, 80);
  control.LoaderGate().Open();
  blocked.get();
  EXPECT_EQ(control.ClearCount(project->GetPluginSessionKey()), 1);
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
}

TEST_F(ProjectConcurrencyTest, ChainPropertyChangesStayApartFromReadersOfTheChain) {
  auto project = Project::Create("p1");
  project->LoadProjectFile(testing::ChainFile("line.json"));
  std::atomic<bool> done{false};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!done) {
        EXPECT_NE(project->GetChainJson().find(testing::kLineChainId), std::string::npos);
        EXPECT_TRUE(project->HasWorker("scale"));
      }
    });
  }
  Property& mirror = *project->GetChainProperties();
  const char* strategies[] = {"graph", "rgraph", "base", "output_broadcast"};
  for (int i = 0; i < 200; ++i) {
    mirror.SetValue("chain.name", "name " + std::to_string(i));
    project->ApplyChainProperty("chain.name");
    mirror.SetValue("chain.execution.strategy", std::string(strategies[i % 4]));
    project->ApplyChainProperty("chain.execution.strategy");
  }
  done = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(project->GetChain()->GetName(), "name 199");
}

}  // namespace
}  // namespace zelph
