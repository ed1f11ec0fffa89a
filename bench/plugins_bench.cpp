// The model registry's lookups at the size a busy service reaches: 200 models in each of
// 50 sessions (every project registers all models again under its own key); and what a
// project load asks of the registry on a fresh registry and with 3,000 projects loaded.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "fixture_models.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace {

// What a project load asks of the registry: the project's key cleared, the plug-in's models
// registered under it, each model looked up by id as the chain's workers are made, and the
// key's list read for the configuration. Samples are taken on a fresh registry, then again
// with 3,000 projects' models registered; the counters are the medians and their ratio. Runs
// first, while the registry is still empty.
void BM_ProjectLoadAgainstProjectsLoaded(benchmark::State& state) {
  constexpr int kPluginModels = 10;
  constexpr int kLoadedProjects = 3000;
  constexpr int kSamples = 200;
  SimplePluginsManager* manager = SimplePluginsManager::GetInstance();
  const auto model_id = [](int index) {
    return fmt::format("7a2b0000-0000-4000-8000-{:012x}", index);
  };
  const auto load = [&](const std::string& key) {
    manager->ClearRegisteredModels(key);
    for (int i = 0; i < kPluginModels; ++i) {
      manager->AddModel(fixture::MakeModel(model_id(i), "bench"), key);
    }
    for (int i = 0; i < kPluginModels; ++i) {
      benchmark::DoNotOptimize(manager->FindModel(model_id(i)));
      benchmark::DoNotOptimize(manager->FindModel(model_id(i), key));
    }
    benchmark::DoNotOptimize(manager->GetModels(key));
  };
  const auto sample_loads = [&] {
    std::vector<double> ms;
    for (int i = 0; i < kSamples; ++i) {
      const auto start = std::chrono::steady_clock::now();
      load("Loading-Project");
      ms.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count());
    }
    manager->ClearRegisteredModels("Loading-Project");
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    return ms[ms.size() / 2];
  };
  for (auto _ : state) {
    const double fresh_ms = sample_loads();
    for (int p = 0; p < kLoadedProjects; ++p) load(fmt::format("Loaded-{}", p));
    const double loaded_ms = sample_loads();
    for (int p = 0; p < kLoadedProjects; ++p) {
      manager->ClearRegisteredModels(fmt::format("Loaded-{}", p));
    }
    state.counters["fresh_ms"] = fresh_ms;
    state.counters["loaded_ms"] = loaded_ms;
    state.counters["growth"] = loaded_ms / fresh_ms;
  }
}
BENCHMARK(BM_ProjectLoadAgainstProjectsLoaded)->Iterations(1)->Unit(benchmark::kMillisecond);

constexpr int kSessions = 50;
constexpr int kModelsPerSession = 200;

std::string ModelId(int index) { return fmt::format("6f1e0000-0000-4000-8000-{:012x}", index); }
std::string Session(int index) { return fmt::format("Project-{}", index); }

SimplePluginsManager* FilledManager() {
  static SimplePluginsManager* const manager = [] {
    SimplePluginsManager* m = SimplePluginsManager::GetInstance();
    for (int s = 0; s < kSessions; ++s) {
      for (int i = 0; i < kModelsPerSession; ++i) {
        m->AddModel(fixture::MakeModel(ModelId(i), "bench"), Session(s));
      }
    }
    return m;
  }();
  return manager;
}

// Ids and sessions spread over the list, so walks stop at every depth.
void BM_FindModelInSession(benchmark::State& state) {
  SimplePluginsManager* manager = FilledManager();
  int step = static_cast<int>(state.thread_index()) * 7919;
  for (auto _ : state) {
    ++step;
    benchmark::DoNotOptimize(
        manager->FindModel(ModelId(step % kModelsPerSession), Session(step % kSessions)));
  }
}
BENCHMARK(BM_FindModelInSession)->Threads(1)->Threads(8)->UseRealTime();

void BM_FindModelAnySession(benchmark::State& state) {
  SimplePluginsManager* manager = FilledManager();
  int step = static_cast<int>(state.thread_index()) * 7919;
  for (auto _ : state) {
    ++step;
    benchmark::DoNotOptimize(manager->FindModel(ModelId(step % kModelsPerSession)));
  }
}
BENCHMARK(BM_FindModelAnySession)->Threads(1)->Threads(8)->UseRealTime();

void BM_GetModelsOfSession(benchmark::State& state) {
  SimplePluginsManager* manager = FilledManager();
  int step = static_cast<int>(state.thread_index());
  for (auto _ : state) {
    benchmark::DoNotOptimize(manager->GetModels(Session(++step % kSessions)));
  }
}
BENCHMARK(BM_GetModelsOfSession)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
