// The costs every worker run pays for logging and profiling: a log call whose level is off,
// and one Timer on a name shared by several threads.
#include <benchmark/benchmark.h>
#include <spdlog/sinks/null_sink.h>

#include <string>

#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"

namespace {

void BM_LogCallLevelOff(benchmark::State& state) {
  auto logger =
      std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>());
  logger->set_level(spdlog::level::err);
  std::atomic_store(&kFileLogger, logger);
  const std::string name = "worker-name";
  for (auto _ : state) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Executing {} ({})", name, 42);
  }
  std::atomic_store(&kFileLogger, std::shared_ptr<spdlog::logger>());
}
BENCHMARK(BM_LogCallLevelOff);

void BM_LogCallToNullSink(benchmark::State& state) {
  auto logger =
      std::make_shared<spdlog::logger>("bench", std::make_shared<spdlog::sinks::null_sink_mt>());
  std::atomic_store(&kFileLogger, logger);
  const std::string name = "worker-name";
  for (auto _ : state) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Executing {} ({})", name, 42);
  }
  std::atomic_store(&kFileLogger, std::shared_ptr<spdlog::logger>());
}
BENCHMARK(BM_LogCallToNullSink);

void BM_TimerSharedName(benchmark::State& state) {
  for (auto _ : state) {
    zelph::Timer timer("JExecutionBlock::Execute");
  }
}
BENCHMARK(BM_TimerSharedName)->Threads(1)->Threads(4)->Threads(16);

}  // namespace

BENCHMARK_MAIN();
