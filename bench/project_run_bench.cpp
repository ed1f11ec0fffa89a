// project_run_bench.cpp
//
// What a project adds to a run of its chain: a line of 100 pass-through native workers run
// by Project::Execute (its listeners around every worker: statistics, statuses, cache
// entries, the plug-in brackets), with the "/cache:" entries off and on, against
// LinkedChain::Execute of the same chain without listeners, each project run timed beside a
// bare run of a second copy: "x_bare_chain" is the project's time over the bare chain's (the
// goal: at most 5). And previews per second under a burst: one run of the line with visible
// results asked for, whose every worker previews a 640 x 480 frame through the pool.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/property.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/testing/service_fixtures.h"

namespace {

constexpr int kWorkers = 100;

std::shared_ptr<zelph::Project> LineProject(std::initializer_list<const char*> flags) {
  zelph::testing::LoadServiceTestPlugin();
  auto project = zelph::Project::Create("bench");
  for (const char* flag : flags) project->GetChainProperties()->SetValue(flag, true);
  project->UploadProject(zelph::testing::ScaleLineChainText(kWorkers), "/bench/chain.json");
  return project;
}

void SetPerWorker(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * kWorkers);
}

// The chain of `project` without the project's listeners.
std::shared_ptr<IDataProcessChain> BareChain(const std::shared_ptr<zelph::Project>& project) {
  const std::shared_ptr<IDataProcessChain> chain = project->GetChain();
  chain->SetFlagListener(nullptr);
  for (const auto& worker : chain->GetWorkers()) worker->SetFlagListener(nullptr);
  return chain;
}

void RunBareChain(IDataProcessChain& chain) {
  chain.Execute(zelph::ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
}

double SecondsOf(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ChainExecuteWithoutListeners(benchmark::State& state) {
  auto project = LineProject({});
  const std::shared_ptr<IDataProcessChain> chain = BareChain(project);
  for (auto _ : state) RunBareChain(*chain);
  SetPerWorker(state);
}
BENCHMARK(BM_ChainExecuteWithoutListeners)->Unit(benchmark::kMicrosecond);

// Argument: 1 with the "/cache:" entries.
void BM_ProjectExecute(benchmark::State& state) {
  auto project = state.range(0) != 0 ? LineProject({zelph::tmp::kEnableCache}) : LineProject({});
  const auto bare_project = LineProject({});
  const std::shared_ptr<IDataProcessChain> bare = BareChain(bare_project);
  double project_seconds = 0;
  double bare_seconds = 0;
  for (auto _ : state) {
    const double seconds = SecondsOf([&] { project->Execute(); });
    state.SetIterationTime(seconds);
    project_seconds += seconds;
    bare_seconds += SecondsOf([&] { RunBareChain(*bare); });
  }
  SetPerWorker(state);
  if (bare_seconds > 0) state.counters["x_bare_chain"] = project_seconds / bare_seconds;
}
BENCHMARK(BM_ProjectExecute)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseManualTime();

void BM_ProjectPreviewBurst(benchmark::State& state) {
  auto project = LineProject({zelph::tmp::kCreateVisibleResult});
  std::vector<char> frame(640 * 480 * 3);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<char>(i * 7 % 251);
  auto image = std::make_shared<PortDataMat>();
  image->SetDataAndCopy(640, 480, 3, kDepth8U, frame.data(), frame.size());
  project->SetCache("/worker:w0/input:input", image);
  for (auto _ : state) {
    project->Execute();
    if (!zelph::ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(60))) {
      state.SkipWithError("previews did not end");
    }
  }
  state.SetItemsProcessed(state.iterations() * kWorkers);
  state.SetLabel("items: previews");
}
BENCHMARK(BM_ProjectPreviewBurst)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
