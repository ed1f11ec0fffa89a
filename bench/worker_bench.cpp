// What a chain pays per worker run and per link: Execute of a no-op worker with a flag
// listener against a direct call of the worker's own work, and link transmission of a small
// and a large matrix (equal costs: the data object is shared, never copied).
#include <benchmark/benchmark.h>

#include <memory>

#include "test_model.h"
#include "zelph/model/link.h"
#include "zelph/model/port_data_mat.h"

namespace {

using zelph::testing::MakeTestWorker;
using zelph::testing::Script;

class NullListener : public zelph::worker::ChangeFlagListener {
 public:
  void OnChangeFlag(std::shared_ptr<IDataProcess>, int, int) override {}
};

void BM_ExecuteWithListener(benchmark::State& state) {
  auto worker = MakeTestWorker(Script::kNoOp);
  NullListener listener;
  worker->SetFlagListener(&listener);
  for (auto _ : state) {
    worker->Execute(zelph::ExecutionStage::kRunTime);
  }
}
BENCHMARK(BM_ExecuteWithListener);

void BM_DirectWork(benchmark::State& state) {
  auto worker = MakeTestWorker(Script::kNoOp);
  for (auto _ : state) {
    worker->Work(zelph::ExecutionStage::kRunTime);
  }
}
BENCHMARK(BM_DirectWork);

void BM_LinkTransmitMatrix(benchmark::State& state) {
  auto source = MakeTestWorker(Script::kPassThrough);
  auto destination = MakeTestWorker(Script::kPassThrough);
  zelph::Port* output = source->FindPortByName(zelph::PortType::output, "output", false);
  zelph::Port* input = destination->FindPortByName(zelph::PortType::input, "input", false);
  const size_t dims[] = {static_cast<size_t>(state.range(0))};
  output->SetData(std::make_shared<PortDataMat>(dims, 1, kDepth8U, 1));
  Link link(source, output, destination, input);
  for (auto _ : state) {
    link.TransmitDataIfNecessary();
    input->ResetData();
  }
  state.SetLabel(std::to_string(state.range(0)) + " bytes");
}
BENCHMARK(BM_LinkTransmitMatrix)->Arg(1024)->Arg(25 * 1024 * 1024);

}  // namespace

BENCHMARK_MAIN();
