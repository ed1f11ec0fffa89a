// java_bench.cpp
//
// Data through the Java bridge, in a VM started from a test product home (without
// -Xcheck:jni): a 3840x2160x3 8-bit frame into Java and back through an echo model against
// memcpy of the same bytes (zero-copy in, one copy out); 10^6 doubles into Java and out of
// Java; small scalars pushed into Java ports from 1 and 8 threads, each with its own port.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>

#include "java_test_home.h"
#include "java_test_support.h"
#include "zelph/java/jnumbers.h"
#include "zelph/java/jvm.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"

namespace {

using zelph::testing::EchoRig;

template <typename Run>
double SecondsOf(Run&& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The frame into Java (a view of its memory), through Echo, and back (a copy); the counter
// x_warm_memcpy is its time over memcpy of the same bytes into a warm buffer, measured
// between the round trips so that both run under the same load.
void BM_FrameThroughJava(benchmark::State& state) {
  const size_t dims[] = {3840, 2160};
  auto frame = std::make_shared<PortDataMat>(dims, 2, kDepth8U, 3);
  for (size_t i = 0; i < frame->GetSize(); ++i) frame->GetData()[i] = static_cast<char>(i * 31);
  std::unique_ptr<char[]> warm(new char[frame->GetSize()]);
  std::memcpy(warm.get(), frame->GetData(), frame->GetSize());
  EchoRig echo(zelph::testing::Env());
  double round_trip_seconds = 0;
  double memcpy_seconds = 0;
  for (auto _ : state) {
    round_trip_seconds += SecondsOf([&] { benchmark::DoNotOptimize(echo.RoundTrip(frame)); });
    state.PauseTiming();
    echo.Release();  // the chain drops both ports' data after the run
    memcpy_seconds += SecondsOf([&] {
      std::memcpy(warm.get(), frame->GetData(), frame->GetSize());
      benchmark::DoNotOptimize(warm.get());
    });
    state.ResumeTiming();
  }
  state.counters["x_warm_memcpy"] = round_trip_seconds / memcpy_seconds;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame->GetSize()));
}

constexpr size_t kDoubles = 1'000'000;

std::unique_ptr<PortDataNumbers> Doubles() {
  std::vector<double> values(kDoubles);
  for (size_t i = 0; i < kDoubles; ++i) values[i] = static_cast<double>(i) * 0.5;
  auto numbers = std::make_unique<PortDataNumbers>();
  numbers->SetDataAndCopy(reinterpret_cast<const char*>(values.data()), kDoubles * sizeof(double),
                          DataTypeDouble::GetInstance());
  return numbers;
}

void BM_DoublesIntoJava(benchmark::State& state) {
  JNIEnv* env = zelph::testing::Env();
  const auto numbers = Doubles();
  JNumbers wrapper;
  const jobject data = wrapper.CreateInstance(env);
  for (auto _ : state) JNumbers::WriteNumbers(env, data, numbers.get());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kDoubles));
}

void BM_DoublesOutOfJava(benchmark::State& state) {
  JNIEnv* env = zelph::testing::Env();
  JNumbers wrapper;
  const jobject data = wrapper.CreateInstance(env);
  JNumbers::WriteNumbers(env, data, Doubles().get());
  for (auto _ : state) benchmark::DoNotOptimize(JNumbers::ReadNumbers(env, data));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kDoubles));
}

// One store of a small scalar into a Java input port (written into its SScalar at once).
void BM_ScalarPush(benchmark::State& state) {
  JNIEnv* env = zelph::testing::Env();  // each benchmark thread attaches itself
  const auto port = zelph::testing::NewJavaPort(env, zelph::PortType::input, "value",
                                                DataTypeScalar::GetInstance());
  const auto value = std::make_shared<PortDataScalar>(std::string("0.5"));
  for (auto _ : state) port->SetData(value);
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FrameThroughJava)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DoublesIntoJava)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DoublesOutOfJava)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScalarPush)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  const zelph::testing::JavaVmStart start =
      zelph::testing::StartJavaVm(zelph::testing::JavaVmSetup::kGood, {});
  if (start.vm == nullptr) {
    std::cerr << "No Java VM: " << start.error << "\n" << start.log;
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
