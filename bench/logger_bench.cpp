// The costs every worker run pays for logging and profiling: a log call below the gate
// against an empty function call, a log call that writes and flushes against the same raw
// spdlog calls, and Timers on one name and on a name per thread from several threads.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/null_sink.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"

namespace {

// Swaps a logger in as the file logger for the length of one benchmark.
class ScopedFileLogger {
 public:
  explicit ScopedFileLogger(std::shared_ptr<spdlog::logger> logger) : logger_(std::move(logger)) {
    std::atomic_store(&kFileLogger, logger_);
  }
  ~ScopedFileLogger() { std::atomic_store(&kFileLogger, std::shared_ptr<spdlog::logger>()); }
  spdlog::logger& Get() { return *logger_; }

 private:
  std::shared_ptr<spdlog::logger> logger_;
};

std::shared_ptr<spdlog::logger> FileLogger() {
  const auto path = std::filesystem::temp_directory_path() / "zelph-logger-bench.log";
  auto logger = std::make_shared<spdlog::logger>(
      "bench", std::make_shared<spdlog::sinks::basic_file_sink_mt>(path.string(), true));
  logger->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%l] %v");
  return logger;
}

__attribute__((noinline)) void EmptyFunction(const std::string& name, int value) {
  benchmark::DoNotOptimize(name);
  benchmark::DoNotOptimize(value);
}

void BM_EmptyFunctionCall(benchmark::State& state) {
  const std::string name = "worker-name";
  for (auto _ : state) EmptyFunction(name, 42);
}
BENCHMARK(BM_EmptyFunctionCall);

void BM_LogCallBelowGate(benchmark::State& state) {
  ScopedFileLogger logger(
      std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>()));
  logger.Get().set_level(spdlog::level::err);
  const std::string name = "worker-name";
  for (auto _ : state) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Executing {} ({})", name, 42);
  }
}
BENCHMARK(BM_LogCallBelowGate);

void BM_LogCallWritesAndFlushes(benchmark::State& state) {
  ScopedFileLogger logger(FileLogger());
  const std::string name = "worker-name";
  for (auto _ : state) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Executing {} ({})", name, 42);
  }
}
BENCHMARK(BM_LogCallWritesAndFlushes);

void BM_RawSpdlogWriteAndFlush(benchmark::State& state) {
  auto logger = FileLogger();
  const std::string name = "worker-name";
  for (auto _ : state) {
    logger->error("Executing {} ({})", name, 42);
    logger->flush();
  }
}
BENCHMARK(BM_RawSpdlogWriteAndFlush);

// Timings per second over all threads (items_per_second): with 8 threads the figure should be
// at least 6 times that of one thread, whether the threads time one name or a name each.
// BM_TimerFloor does what no Timer can avoid (the name copy, two clock reads): its own ratio
// shows how far 8 threads scale on the machine at that moment.
void BM_TimerFloor(benchmark::State& state) {
  for (auto _ : state) {
    std::string name("JExecutionBlock::Execute");
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(name);
    benchmark::DoNotOptimize(std::chrono::steady_clock::now() - start);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TimerFloor)->Threads(1)->Threads(8)->UseRealTime();

void BM_TimerSharedName(benchmark::State& state) {
  for (auto _ : state) {
    zelph::Timer timer("JExecutionBlock::Execute");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TimerSharedName)->Threads(1)->Threads(8)->UseRealTime();

void BM_TimerDistinctNames(benchmark::State& state) {
  const std::string name = fmt::format("Worker::Execute#{}", state.thread_index());
  for (auto _ : state) {
    zelph::Timer timer(name.c_str());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TimerDistinctNames)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
