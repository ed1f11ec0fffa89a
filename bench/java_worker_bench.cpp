// java_worker_bench.cpp
//
// What Java workers cost, through the real zelph-java.so that the plug-in manager loads from
// a home made in the build folder (without -Xcheck:jni):
//   - one run of a no-op Java worker against one run of a no-op native worker (the JNI
//     overhead per run), as worker runs and as runs of a chain of that one worker;
//   - a pass-through Java worker on 640x480x3 and 3840x2160x3 8-bit frames against a native
//     pass-through and memcpy of the frame into a warm buffer;
//   - runs of a chain of eight Java workers (the test chain file) from 1 and from 8 threads,
//     each thread with its own chain;
//   - chains of 10 and 100 pass-through Java workers under the reverse-graph and the
//     output-broadcast strategies, and of 1,000 and 16,000 under the base strategy (a run of
//     the long line should take about 16 times as long as one of the short line);
//   - making and destroying a worker of a Java model whose class earlier workers bound.
// The machine may be shared: what a benchmark compares is measured alternately within one
// run, and the counters are medians of those samples and their ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "java_plugin_main.h"
#include "java_test_home.h"
#include "plugin_test_support.h"
#include "test_model.h"
#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace {

using zelph::testing::Image;
using zelph::testing::NewJavaWorker;
using zelph::testing::PortOf;

constexpr const char* kSession = "bench";

template <typename Run>
double NanosecondsOf(Run&& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  return samples[samples.size() / 2];
}

std::shared_ptr<IDataProcess> JavaWorkerIn(IDataProcessChain& chain, const char* model) {
  auto worker = NewJavaWorker(kSession, model);
  if (worker) chain.AddWorker(worker);
  return worker;
}

// Each sample is the mean of a batch of runs of one worker, the two workers taking turns.
void BM_NoOpWorkerRun(benchmark::State& state) {
  constexpr int kBatch = 1000;
  auto chain = zelph::LinkedChain::Create();
  auto java = JavaWorkerIn(*chain, "NoOp");
  auto native = zelph::testing::MakeTestWorker(zelph::testing::Script::kNoOp);
  std::vector<double> java_ns, native_ns;
  for (auto _ : state) {
    java_ns.push_back(NanosecondsOf([&] {
                        for (int i = 0; i < kBatch; ++i)
                          java->Execute(zelph::ExecutionStage::kRunTime);
                      }) /
                      kBatch);
    native_ns.push_back(NanosecondsOf([&] {
                          for (int i = 0; i < kBatch; ++i) {
                            native->Execute(zelph::ExecutionStage::kRunTime);
                          }
                        }) /
                        kBatch);
  }
  state.counters["java_ns"] = Median(java_ns);
  state.counters["native_ns"] = Median(native_ns);
  state.counters["jni_overhead_ns"] = Median(java_ns) - Median(native_ns);
}
BENCHMARK(BM_NoOpWorkerRun)->Unit(benchmark::kMillisecond)->Iterations(200);

// The same as runs of a chain holding the one worker: the chain also hands each worker its
// working directory every run.
void BM_NoOpChainRun(benchmark::State& state) {
  constexpr int kBatch = 1000;
  auto java_chain = zelph::LinkedChain::Create();
  auto java = JavaWorkerIn(*java_chain, "NoOp");
  auto native_chain = zelph::LinkedChain::Create();
  native_chain->AddWorker(zelph::testing::MakeTestWorker(zelph::testing::Script::kNoOp));
  const auto batch = [](IDataProcessChain& chain) {
    return NanosecondsOf([&] {
             for (int i = 0; i < kBatch; ++i) {
               chain.Execute(zelph::ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
             }
           }) /
           kBatch;
  };
  std::vector<double> java_ns, native_ns;
  for (auto _ : state) {
    java_ns.push_back(batch(*java_chain));
    native_ns.push_back(batch(*native_chain));
  }
  state.counters["java_ns"] = Median(java_ns);
  state.counters["native_ns"] = Median(native_ns);
  state.counters["jni_overhead_ns"] = Median(java_ns) - Median(native_ns);
}
BENCHMARK(BM_NoOpChainRun)->Unit(benchmark::kMillisecond)->Iterations(100);

// One run of each per iteration: the frame stored into the worker's input, the run, the
// output taken, the ports cleared as a chain clears them.
void BM_PassThroughFrame(benchmark::State& state) {
  const size_t width = static_cast<size_t>(state.range(0));
  const size_t height = static_cast<size_t>(state.range(1));
  std::vector<unsigned char> pixels(width * height * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 31);
  const auto frame = Image(width, height, 3, pixels);
  std::vector<char> warm(pixels.size());
  std::memcpy(warm.data(), frame->GetData(), warm.size());

  auto chain = zelph::LinkedChain::Create();
  auto java = JavaWorkerIn(*chain, "Pass");
  auto native = zelph::testing::MakeTestWorker(zelph::testing::Script::kPassThrough);
  const auto run = [&](IDataProcess& worker, const char* input, const char* output) {
    return NanosecondsOf([&] {
      PortOf(worker, zelph::PortType::input, input)->SetData(frame);
      worker.Execute(zelph::ExecutionStage::kRunTime);
      benchmark::DoNotOptimize(PortOf(worker, zelph::PortType::output, output)->GetData());
      worker.CleanUpPorts(zelph::PortType::input);
      worker.CleanUpPorts(zelph::PortType::output);
    });
  };
  std::vector<double> java_ns, native_ns, memcpy_ns;
  for (auto _ : state) {
    java_ns.push_back(run(*java, "image", "image"));
    native_ns.push_back(run(*native, "input", "output"));
    memcpy_ns.push_back(NanosecondsOf([&] {
      std::memcpy(warm.data(), frame->GetData(), warm.size());
      benchmark::DoNotOptimize(warm.data());
    }));
  }
  const double java_median = Median(java_ns);
  const double native_median = Median(native_ns);
  const double memcpy_median = Median(memcpy_ns);
  state.counters["java_us"] = java_median / 1000;
  state.counters["native_us"] = native_median / 1000;
  state.counters["memcpy_us"] = memcpy_median / 1000;
  state.counters["java_over_native_plus_memcpy"] = java_median / (native_median + memcpy_median);
  state.SetLabel(std::to_string(width) + "x" + std::to_string(height) + "x3");
}
BENCHMARK(BM_PassThroughFrame)
    ->Args({640, 480})
    ->Args({3840, 2160})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The test chain file: matrices, numbers and scalars through eight Java workers.
void BM_ChainRunsPerThread(benchmark::State& state) {
  auto chain = zelph::LinkedChain::Create();
  chain->SetSessionId(kSession);
  if (!ParseChainFile(ZELPH_JAVA_TEST_FIXTURES "/java_chain.json", JsonParser::kMiniJson, chain)) {
    state.SkipWithError("chain file not read");
    return;
  }
  const auto feed = [&](const char* worker, const char* port, std::shared_ptr<IPortData> data) {
    PortOf(*chain->FindWorker(worker), zelph::PortType::input, port)->SetData(std::move(data));
  };
  const auto image = Image(16, 16, 1, std::vector<unsigned char>(256, 7));
  const auto colour = Image(8, 8, 3, std::vector<unsigned char>(192, 9));
  const auto values = zelph::testing::Doubles({1, 2, 3, 4});
  const auto text = zelph::testing::Scalar("text");
  for (auto _ : state) {
    feed("c4a10000-0000-4000-8000-000000000001", "image", image);
    feed("c4a10000-0000-4000-8000-000000000003", "values", values);
    feed("c4a10000-0000-4000-8000-000000000005", "first", text);
    feed("c4a10000-0000-4000-8000-000000000005", "second", text);
    feed("c4a10000-0000-4000-8000-000000000006", "second", text);
    feed("c4a10000-0000-4000-8000-000000000007", "image", colour);
    chain->Execute(zelph::ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChainRunsPerThread)->Threads(1)->Threads(8)->UseRealTime()->MinTime(2);

// A line of pass-through Java workers: an 8x8 frame from the first to the last.
void BM_JavaWorkerLine(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const auto strategy = static_cast<ExecutionStrategyType>(state.range(1));
  auto chain = zelph::LinkedChain::Create();
  chain->SetExecutionStrategy(strategy, false);
  std::vector<std::shared_ptr<IDataProcess>> workers;
  for (int i = 0; i < count; ++i) {
    workers.push_back(JavaWorkerIn(*chain, "Pass"));
    if (i > 0) {
      chain->CreateLink(workers[i - 1], PortOf(*workers[i - 1], zelph::PortType::output, "image"),
                        workers[i], PortOf(*workers[i], zelph::PortType::input, "image"));
    }
  }
  const auto frame = Image(8, 8, 1, std::vector<unsigned char>(64, 3));
  zelph::Port* input = PortOf(*workers.front(), zelph::PortType::input, "image");
  std::vector<double> run_ns;
  for (auto _ : state) {
    run_ns.push_back(NanosecondsOf([&] {
      input->SetData(frame);
      chain->Execute(zelph::ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
    }));
  }
  state.counters["run_us"] = Median(run_ns) / 1000;
  state.counters["per_worker_us"] = Median(run_ns) / 1000 / count;
  state.SetLabel(ExecutionStrategyToString(strategy));
}
BENCHMARK(BM_JavaWorkerLine)
    ->Args({10, static_cast<int>(ExecutionStrategyType::kRGraph)})
    ->Args({100, static_cast<int>(ExecutionStrategyType::kRGraph)})
    ->Args({10, static_cast<int>(ExecutionStrategyType::kOutputBroadcast)})
    ->Args({100, static_cast<int>(ExecutionStrategyType::kOutputBroadcast)})
    ->Args({1000, static_cast<int>(ExecutionStrategyType::kBase)})
    ->Args({16000, static_cast<int>(ExecutionStrategyType::kBase)})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The making of a worker: its executor, ports and parameters, and the binding of its model
// class, which earlier workers of the same class already made.
void BM_JavaWorkerCreation(benchmark::State& state) {
  for (auto _ : state) {
    auto worker = NewJavaWorker(kSession, "MatInvert");
    benchmark::DoNotOptimize(worker.get());
  }
}
BENCHMARK(BM_JavaWorkerCreation)->Unit(benchmark::kMicrosecond)->MinTime(1);

}  // namespace

int main(int argc, char** argv) {
  return zelph::bench::RunWithJavaPlugin(argc, argv, "bench-plugin", [] {
    SimplePluginsManager::GetInstance()->RegisterAvailableModels(kSession);
  });
}
