// The model registry used from eight threads at once: each thread adds, finds, lists and
// clears the models of its own session, and all of them share one more session.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fixture_models.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace {

constexpr int kThreads = 8;
constexpr int kModelsPerThread = 120;
constexpr int kClearEvery = 40;

std::string ModelId(int thread, int index) {
  return fmt::format("6f1e{:04x}-0000-4000-8000-{:012x}", thread, index);
}

// Returns the number of checks that failed, so the main thread can report them.
int UseRegistry(int thread) {
  SimplePluginsManager* manager = SimplePluginsManager::GetInstance();
  const std::string session = fmt::format("Session-{}", thread);
  const std::string same_session_other_case = fmt::format("SESSION-{}", thread);
  int failures = 0;
  std::size_t own_models = 0;
  for (int i = 0; i < kModelsPerThread; ++i) {
    const std::string id = ModelId(thread + 1, i);
    failures += !manager->AddModel(fixture::MakeModel(id, "own"), session);
    failures += !manager->FindModel(id, same_session_other_case);
    failures += !manager->FindModel(id);
    ++own_models;
    // Every thread offers the same ids here; exactly one of them lands.
    manager->AddModel(fixture::MakeModel(ModelId(0, i), "shared"), "shared");
    failures += manager->GetModels(same_session_other_case).size() != own_models;
    failures += manager->GetModels("shared").empty();
    if (i % kClearEvery == kClearEvery - 1) {
      manager->ClearRegisteredModels(session);
      failures += !manager->GetModels(session).empty();
      own_models = 0;
    }
  }
  manager->ClearRegisteredModels(same_session_other_case);
  return failures;
}

TEST(ModelRegistryConcurrencyTest, EightThreadsAddFindListAndClearTogether) {
  SimplePluginsManager* manager = SimplePluginsManager::GetInstance();
  std::vector<int> failures(kThreads, 0);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([t, &failures] { failures[t] = UseRegistry(t); });
    }
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;

  // Each shared id landed exactly once.
  const auto shared = manager->GetModels("shared");
  std::set<std::string> shared_ids;
  for (const auto& model : shared) shared_ids.insert(model->GetId());
  EXPECT_EQ(shared_ids.size(), static_cast<std::size_t>(kModelsPerThread));
  EXPECT_EQ(shared.size(), shared_ids.size());
  EXPECT_EQ(manager->GetModelCount(), shared.size());
  manager->ClearRegisteredModels("shared");
  EXPECT_EQ(manager->GetModelCount(), 0u);
  EXPECT_TRUE(manager->GetModels().empty());
}

// Eight threads add one id to one session at the same moment, in sessions that differ only
// in case: exactly one call answers true each round, and the registry lists the model once.
TEST(ModelRegistryConcurrencyTest, OfThreadsAddingOneIdToOneSessionExactlyOneWins) {
  SimplePluginsManager* manager = SimplePluginsManager::GetInstance();
  constexpr int kRounds = 200;
  std::atomic<int> winners[kRounds] = {};
  std::barrier start(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        const std::string session = t % 2 == 0 ? "race" : "RACE";
        for (int round = 0; round < kRounds; ++round) {
          auto model = fixture::MakeModel(ModelId(0xace, round), "race");
          start.arrive_and_wait();
          if (manager->AddModel(std::move(model), session)) ++winners[round];
        }
      });
    }
  }
  for (int round = 0; round < kRounds; ++round) EXPECT_EQ(winners[round], 1) << "round " << round;
  EXPECT_EQ(manager->GetModels("race").size(), static_cast<std::size_t>(kRounds));
  manager->ClearRegisteredModels("race");
}

}  // namespace
