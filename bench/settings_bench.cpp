// settings_bench.cpp
//
// The settings work of every chain load and configuration upload: building the settings
// tree of a 200-worker chain, and applying a configuration document that names every
// control of it.
#include <benchmark/benchmark.h>

#include <fmt/format.h>

#include "settings_chain.h"
#include "settings_fixture.h"
#include "zelph/settings/project_configuration_reader.h"

namespace {

using zelph::testing::SettingsChain;

constexpr int kBlurWorkers = 198;  // plus the dashboard and the camera

SettingsChain MakeLargeChain() {
  SettingsChain golden = zelph::testing::MakeGoldenChain();
  for (int i = 0; i < kBlurWorkers - 1; ++i) {
    zelph::testing::AddSettingsWorker(*golden.chain, golden.models[2],
                                      fmt::format("bbbbbbbb-0000-4000-8000-{:012}", i),
                                      fmt::format("blur{}", i));
  }
  return golden;
}

std::string FullDocument() {
  std::string data;
  for (int i = 0; i < kBlurWorkers - 1; ++i) {
    data += fmt::format(R"("blur{}": {{"radius": {}, "sigma": 2.5}}, )", i, i);
  }
  return fmt::format(
      R"({{"app": "zelph-project-configuration", "chain_id": "c", "caption": "large",
          "data": {{{}"blur": {{"radius": 7}}}},
          "settings": {{"threshold": 9, "enabled": false, "mode": "slow",
                        "@camera": {{"exposure": 0.25, "gain": 4}}}}}})",
      data);
}

void BM_BuildProjectConfiguration(benchmark::State& state) {
  const SettingsChain chain = MakeLargeChain();
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildProjectConfiguration(chain.chain, chain.models));
  }
}
BENCHMARK(BM_BuildProjectConfiguration);

void BM_ApplyProjectConfiguration(benchmark::State& state) {
  const SettingsChain chain = MakeLargeChain();
  const auto configuration = BuildProjectConfiguration(chain.chain, chain.models);
  const std::string document = FullDocument();
  for (auto _ : state) {
    if (!ApplyProjectConfigurationValues(document, configuration)) state.SkipWithError("failed");
  }
}
BENCHMARK(BM_ApplyProjectConfiguration);

}  // namespace

BENCHMARK_MAIN();
