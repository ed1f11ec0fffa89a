// project_configuration_concurrency_test.cpp
//
// One settings tree used from several threads: documents applied and values set while the
// chain settings document is written, values are read and the configuration is copied. The
// configuration's lock keeps writers and readers apart (the thread sanitizer judges), and
// every document written meanwhile is whole JSON.
#include "zelph/config/rapidjson.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "settings_fixture.h"
#include "zelph/settings/chain_settings_writer.h"
#include "zelph/settings/project_configuration_reader.h"

namespace zelph::testing {
namespace {

TEST(ProjectConfigurationConcurrencyTest, WritersOfTheTreeStayApartFromItsReaders) {
  const auto configuration = MakeGoldenConfiguration();
  const std::string tuned = ReadGolden("project_configuration.json");
  const std::string defaults = R"({"threshold": 5, "mode": "fast", "@camera": {"exposure": 0.5}})";
  constexpr int kRounds = 200;
  std::atomic<int> writers_running{2};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      EXPECT_TRUE(ApplyProjectConfigurationValues(i % 2 == 0 ? tuned : defaults, configuration));
    }
    --writers_running;
  });
  threads.emplace_back([&] {
    for (int i = 0; i < kRounds; ++i) {
      // Texts past the short-string buffer: a torn read meets freed memory.
      EXPECT_TRUE(configuration->SetValue(kDashboardWorkerId, "mode",
                                          PropertyValue{true, std::string(16 + i % 64, 'm')}));
    }
    --writers_running;
  });
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&] {
      do {
        const std::string text = WriteChainSettingsAsJson(JsonParser::kRapidJson, *configuration);
        rapidjson::Document document;
        EXPECT_FALSE(json::ParseJsonText(text.data(), text.size(), document).IsError()) << text;
        EXPECT_TRUE(configuration->GetValue(kDashboardWorkerId, "mode"));
        const ProjectConfiguration copy(*configuration);
        EXPECT_EQ(copy.root, configuration->root);
        EXPECT_FALSE(copy.caption.empty());
      } while (writers_running > 0);
    });
  }
  for (std::thread& thread : threads) thread.join();
}

}  // namespace
}  // namespace zelph::testing
