// The model registry's lookups at the size a busy service reaches: 200 models in each of
// 50 sessions (every project registers all models again under its own key).
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <string>

#include "fixture_models.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace {

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
