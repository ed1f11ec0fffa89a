// What a chain run costs per worker under each execute strategy: Execute of a line of no-op
// workers, each feeding the next, for 100, 1,000 and 10,000 workers. Items processed are
// worker runs, so the reported rate is the cost per worker; comparing 1,000 with 10,000 shows
// how a strategy grows with the chain. The work per worker is the same at every length; the
// cost per worker still steps up once the chain's workers (about 4 KB each, with their ports,
// property bags and links) outgrow the processor's caches, between 1,000 and 10,000 workers.
// The growth cases run lines of 1,000 and 16,000 workers in turns and report how many times
// longer the long line takes (16 would be linear): one chain run, and the question a Java
// worker asks the chain about each of its ports every run (does a link touch it?).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "test_model.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/model/port.h"

namespace {

std::shared_ptr<IDataProcessChain> MakeLine(ExecutionStrategyType type, int count) {
  auto chain = zelph::LinkedChain::Create();
  chain->SetExecutionStrategy(type, false);
  auto model = zelph::testing::MakeTestModel(zelph::testing::Script::kNoOp);
  std::shared_ptr<IDataProcess> previous;
  for (int i = 0; i < count; ++i) {
    auto worker = model->CreateAndInitializeWorker(model, "");
    chain->AddWorker(worker);
    if (previous) {
      chain->CreateLink(previous,
                        previous->FindPortByName(zelph::PortType::output, "output", false), worker,
                        worker->FindPortByName(zelph::PortType::input, "input", false));
    }
    previous = worker;
  }
  return chain;
}

void BM_ExecuteLine(benchmark::State& state) {
  const auto type = static_cast<ExecutionStrategyType>(state.range(0));
  const int count = static_cast<int>(state.range(1));
  auto chain = MakeLine(type, count);
  for (auto _ : state) {
    chain->Execute(zelph::ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetLabel(ExecutionStrategyToString(type));
}
BENCHMARK(BM_ExecuteLine)
    ->ArgsProduct({{0, 1, 2, 3}, {100, 1000, 10000}})
    ->Unit(benchmark::kMillisecond);

constexpr int kShortLine = 1000;
constexpr int kLongLine = 16000;

double Median(std::vector<double> samples) {
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  return samples[samples.size() / 2];
}

// Times `work` on a short and a long line in turns; the counters are the medians and their
// ratio.
template <typename Work>
void MeasureGrowth(benchmark::State& state, ExecutionStrategyType type, Work&& work) {
  auto short_line = MakeLine(type, kShortLine);
  auto long_line = MakeLine(type, kLongLine);
  const auto time = [&](IDataProcessChain& chain) {
    const auto start = std::chrono::steady_clock::now();
    work(chain);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
  };
  std::vector<double> short_ms, long_ms;
  for (auto _ : state) {
    short_ms.push_back(time(*short_line));
    long_ms.push_back(time(*long_line));
  }
  state.counters["short_ms"] = Median(short_ms);
  state.counters["long_ms"] = Median(long_ms);
  state.counters["growth"] = Median(long_ms) / Median(short_ms);
  state.SetLabel(ExecutionStrategyToString(type));
}

void BM_ExecuteLineGrowth(benchmark::State& state) {
  MeasureGrowth(
      state, static_cast<ExecutionStrategyType>(state.range(0)), [](IDataProcessChain& chain) {
        chain.Execute(zelph::ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
      });
}
// The output-broadcast strategy searches back from the end of the line for every worker it
// hands out, so its growth is left out here.
BENCHMARK(BM_ExecuteLineGrowth)->DenseRange(0, 2)->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_PortLinkQueryGrowth(benchmark::State& state) {
  MeasureGrowth(state, ExecutionStrategyType::kBase, [](IDataProcessChain& chain) {
    for (const auto& worker : chain.GetWorkers()) {
      for (zelph::Port* port : worker->GetPorts()) {
        benchmark::DoNotOptimize(chain.HasLinksConnectedWithPort(port->GetId()));
      }
    }
  });
}
BENCHMARK(BM_PortLinkQueryGrowth)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
