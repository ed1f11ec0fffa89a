// The model registry used from eight threads at once: each thread adds, finds, lists and
// clears the models of its own session, and all of them share one more session.
#include <fmt/format.h>
#include <gtest/gtest.h>

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
    // Every thread offers the same ids here; duplicates racing each other may both land.
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

  // Each shared id landed at least once.
  const auto shared = manager->GetModels("shared");
  std::set<std::string> shared_ids;
  for (const auto& model : shared) shared_ids.insert(model->GetId());
  EXPECT_EQ(shared_ids.size(), static_cast<std::size_t>(kModelsPerThread));
  EXPECT_EQ(manager->GetModelCount(), shared.size());
  manager->ClearRegisteredModels("shared");
  EXPECT_EQ(manager->GetModelCount(), 0u);
  EXPECT_TRUE(manager->GetModels().empty());
}

}  // namespace
