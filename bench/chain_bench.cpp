// What a chain run costs per worker under each execute strategy: Execute of a line of no-op
// workers, each feeding the next, for 100, 1,000 and 10,000 workers. Items processed are
// worker runs, so the reported rate is the cost per worker; comparing 1,000 with 10,000 shows
// how a strategy grows with the chain. The work per worker is the same at every length; the
// cost per worker still steps up once the chain's workers (about 4 KB each, with their ports,
// property bags and links) outgrow the processor's caches, between 1,000 and 10,000 workers.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

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

}  // namespace
BENCHMARK_MAIN();
