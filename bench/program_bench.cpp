// program_bench.cpp
//
// The program as a process, run from a temporary installation (only the timed span counts):
//   StartToListening/java:0|1  from the start of zelph-service to its "Server starts
//                    listening" line, without plug-ins and with the Java plug-in (the Java
//                    VM created, the demo models published)
//   SigintToExit/async:0|1     from SIGINT to the program's exit while a Java worker that
//                    runs until it is interrupted is being evaluated, by a client's
//                    synchronous evaluation (async:0) or an asynchronous one (async:1)
#include <benchmark/benchmark.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "zelph/testing/program_client.h"
#include "zelph/testing/program_installation.h"

namespace {

using zelph::testing::ChildProcess;
using zelph::testing::ChildResult;
using zelph::testing::ProgramInstallation;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void StartToListening(benchmark::State& state) {
  const auto plugins =
      state.range(0) != 0 ? ProgramInstallation::kWithJava : ProgramInstallation::kNoPlugins;
  for (auto _ : state) {
    ProgramInstallation installation(plugins);
    installation.WriteConfig(installation.Config("info"));
    const Clock::time_point start = Clock::now();
    std::unique_ptr<ChildProcess> server = installation.Start({});
    const bool listening = ProgramInstallation::WaitUntilListening(*server);
    state.SetIterationTime(SecondsSince(start));
    server->Signal(SIGINT);
    const ChildResult result = server->Wait();
    if (!listening || result.exit_code != 0) state.SkipWithError(result.err.c_str());
  }
}
BENCHMARK(StartToListening)
    ->ArgName("java")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void SigintToExit(benchmark::State& state) {
  const bool async = state.range(0) != 0;
  for (auto _ : state) {
    ProgramInstallation installation(ProgramInstallation::kWithJava);
    installation.AddJavaTestModels();
    installation.WriteConfig(installation.Config("info"));
    std::unique_ptr<ChildProcess> server = installation.Start({});
    if (!ProgramInstallation::WaitUntilListening(*server)) {
      state.SkipWithError(server->Wait().err.c_str());
      break;
    }
    zelph::testing::ProgramClient client(installation.Address());
    std::thread evaluation = client.StartSlowEvaluation(async);
    // Long enough for the worker to be running inside the Java VM.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const Clock::time_point start = Clock::now();
    server->Signal(SIGINT);
    const ChildResult result = server->Wait(std::chrono::seconds(60));
    state.SetIterationTime(SecondsSince(start));
    evaluation.join();
    if (!result.exited || result.exit_code != 0) state.SkipWithError(result.err.c_str());
  }
}
BENCHMARK(SigintToExit)
    ->ArgName("async")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
