// A project's configuration document for a chain of 200 workers with a setting each: written
// (as a client reads it) and uploaded back (read into the tree, the workers' properties set
// and the main-settings values written into the main-settings worker).
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <memory>
#include <string>

#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace {

// The Loader and Main workers of the fixture's main-settings chain, then `workers` Value
// workers with a text each.
std::string MainSettingsChain(int workers) {
  using zelph::testing::kLoaderModel;
  using zelph::testing::kMainModel;
  using zelph::testing::kValueModel;
  auto id = [](int index) { return fmt::format("c0f90000-0000-4000-8000-{:012x}", index); };
  std::string blocks = fmt::format(
      R"({{"uuid": "{}", "executor_id": "{}", "executor_name": "Loader", "execution_stage": "loading_time"}},)"
      R"({{"uuid": "{}", "executor_id": "{}", "executor_name": "Main", "system": {{"name": "dashboard"}},)"
      R"( "properties": [{{"name": "threshold", "type": "int", "value": 9}}]}})",
      id(1), kLoaderModel, zelph::testing::kMainWorkerId, kMainModel);
  for (int i = 0; i < workers; ++i) {
    blocks += fmt::format(
        R"(,{{"uuid": "{}", "executor_id": "{}", "executor_name": "Value", "system": {{"name": "w{}"}},)"
        R"( "properties": [{{"name": "value", "type": "String", "value": "text of worker {}"}}]}})",
        id(100 + i), kValueModel, i, i);
  }
  return fmt::format(
      R"({{"app": "zelph-project", "zelph_chain": {{"executor": {{"uuid": "{}", "name": "bench"}},)"
      R"( "blocks": [{}], "links": []}}}})",
      id(0), blocks);
}

std::shared_ptr<zelph::Project> LoadedProject(int workers) {
  zelph::testing::LoadServiceTestPlugin();
  auto project = zelph::Project::Create("bench");
  project->UploadProject(MainSettingsChain(workers), "/bench/chain.json");
  return project;
}

void BM_WriteConfigurationDocument(benchmark::State& state) {
  const auto project = LoadedProject(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string document = project->GetConfigurationJson();
    bytes = document.size();
    benchmark::DoNotOptimize(document.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_WriteConfigurationDocument)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_UploadConfigurationDocument(benchmark::State& state) {
  const auto project = LoadedProject(static_cast<int>(state.range(0)));
  const std::string document = project->GetConfigurationJson();
  for (auto _ : state) project->UploadConfiguration(document);
  state.counters["bytes"] = static_cast<double>(document.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
}
BENCHMARK(BM_UploadConfigurationDocument)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
