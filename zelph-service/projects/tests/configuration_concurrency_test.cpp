// configuration_concurrency_test.cpp
//
// A project's configuration read while it changes in each way a client can change it: an
// uploaded document, a setting written into the tree and applied, the main-settings
// worker's "settings" property written and read back. The configuration's lock keeps the
// readers (documents and setting copies) apart from the writers (the thread sanitizer
// judges), and every document read meanwhile is whole JSON.
#include "zelph/config/rapidjson.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "zelph/model/data_process.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"
#include "zelph/settings/project_configuration.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::kMainWorkerId;

TEST(ConfigurationConcurrencyTest, ReadersSeeWholeDocumentsWhileEveryWriterChangesTheTree) {
  testing::LoadServiceTestPlugin();
  auto project = Project::Create("p1");
  project->LoadProjectFile(testing::ChainFile("main_settings.json"));
  const std::string document = project->GetConfigurationJson();
  const std::size_t threshold_at = document.find("\"threshold\": 9,");
  ASSERT_NE(threshold_at, std::string::npos);
  Property& main_properties = *project->GetWorker(kMainWorkerId)->GetProperties();

  // Texts longer than the short-string buffer, so that a torn read meets freed memory.
  auto text = [](int round, char fill) { return std::string(16 + round % 64, fill); };
  constexpr int kRounds = 100;
  std::atomic<int> writers_running{3};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      std::string tuned = document;
      tuned.replace(threshold_at, 15, "\"threshold\": " + std::to_string(i) + ",");
      project->UploadConfiguration(tuned);
    }
    --writers_running;
  });
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      ASSERT_TRUE(project->GetConfiguration()->SetValue(kMainWorkerId, "label",
                                                        PropertyValue{true, text(i, 'l')}));
      project->ApplyConfiguration();
    }
    --writers_running;
  });
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      main_properties.SetValue("settings", "{\"label\": \"" + text(i, 'w') + "\"}");
      project->UpdateConfigurationFromMainSetting();
    }
    --writers_running;
  });
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      do {
        const std::string json = project->GetConfigurationJson();
        rapidjson::Document parsed;
        EXPECT_FALSE(json::ParseJsonText(json.data(), json.size(), parsed).IsError()) << json;
        const auto main = project->GetSetting(kMainWorkerId);
        ASSERT_EQ(main->controls.size(), 2u);
        EXPECT_GE(std::get<std::string>(main->controls.back()->value.value).size(), 4u);
      } while (writers_running > 0);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
}

}  // namespace
}  // namespace zelph
