// polling_bench.cpp
//
// The polling calls of clients, through the served service (the test harness: a loopback
// port, the service's allocator):
//   GetList        a project whose cache holds 10,000 entries (2,500 inputs, and 75 outputs
//                  of each of 100 workers): the list of its inputs and of one worker's outputs,
//                  without a filter and with a modified-after filter that ten entries of each
//                  list pass. "entries" is the length of the reply; every list visits every
//                  cache entry, since the cache has no index by kind.
//   Exists         ten URLs of every kind per call (a worker, a link, a statistic, properties,
//                  cache entries, a missing one) from 8 clients at once, each with a channel
//                  of its own: "calls_per_s" over the batch and "p99_us" of the single calls.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service_harness.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int kInputs = 2500;
constexpr int kWorkers = 100;
constexpr int kOutputsPerWorker = 75;
constexpr int kListedWorker = 7;
constexpr int kFresh = 10;
constexpr std::int64_t kOldStamp = 1000;
constexpr std::int64_t kFreshStamp = 2000;

// Fills the cache; the last kFresh inputs and outputs of the listed worker are the fresh ones.
void FillCache(Project& project) {
  const auto data = std::make_shared<PortDataScalar>(std::string("1"));
  for (int i = 0; i < kInputs; ++i) {
    project.SetCache("/input:image" + std::to_string(i), data,
                     i >= kInputs - kFresh ? kFreshStamp : kOldStamp);
  }
  for (int w = 0; w < kWorkers; ++w) {
    for (int o = 0; o < kOutputsPerWorker; ++o) {
      const bool fresh = w == kListedWorker && o >= kOutputsPerWorker - kFresh;
      project.SetCache("/worker:w" + std::to_string(w) + "/output:o" + std::to_string(o), data,
                       fresh ? kFreshStamp : kOldStamp);
    }
  }
}

// Args: list (0 inputs, 1 one worker's outputs), filter (0 none, 1 ten entries pass).
void BM_GetList(benchmark::State& state) {
  ServiceHarness harness;
  const std::string project = harness.NewProject();
  FillCache(*harness.ProjectOf(project));
  GetListRequest request;
  request.set_url(state.range(0) == 0
                      ? project + "/input"
                      : project + "/worker:w" + std::to_string(kListedWorker) + "/output");
  if (state.range(1) != 0) {
    request.mutable_resource_filter()->set_modified_after((kOldStamp + kFreshStamp) / 2);
  }
  size_t entries = 0;
  for (auto _ : state) {
    GetListResponse response;
    const grpc::Status status = harness.Call(&Stub::GetList, request, &response);
    if (!status.ok()) {
      state.SkipWithError(status.error_message().c_str());
      break;
    }
    entries = static_cast<size_t>(response.url_size());
  }
  state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_GetList)
    ->ArgNames({"worker_outputs", "filter"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

constexpr int kClients = 8;
constexpr int kCallsPerClient = 500;

double Percentile(std::vector<double>& values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void BM_ExistsFromEightClients(benchmark::State& state) {
  ServiceHarness harness;
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(p);
  project->SetCache("/input:x", std::make_shared<PortDataScalar>(std::string("1")));
  project->SetCache("/worker:scale/output:output",
                    std::make_shared<PortDataScalar>(std::string("2")));
  ExistsRequest request;
  for (const std::string& url : {
           p,
           p + "/worker:scale",
           p + "/worker:" + std::string(kLineSinkId),
           p + "/link:" + std::string(kLineFirstLink),
           p + "/statistic:" + std::string(kLineScaleId),
           p + "/property:chain.name",
           p + "/worker:scale/system:name",
           p + "/input:x",
           p + "/worker:scale/output:output",
           p + "/input:missing",
       }) {
    request.add_url(url);
  }
  std::vector<std::unique_ptr<Stub>> stubs;
  for (int i = 0; i < kClients; ++i) stubs.push_back(harness.NewStub());

  std::vector<double> latencies;
  std::mutex latencies_mutex;
  double seconds = 0;
  for (auto _ : state) {
    std::atomic<bool> failed{false};
    const Clock::time_point batch_start = Clock::now();
    std::vector<std::thread> threads;
    for (const std::unique_ptr<Stub>& stub : stubs) {
      threads.emplace_back([&, client = stub.get()] {
        std::vector<double> own;
        own.reserve(kCallsPerClient);
        for (int call = 0; call < kCallsPerClient; ++call) {
          ExistsResponse response;
          const Clock::time_point start = Clock::now();
          const grpc::Status status = harness.Call(&Stub::Exists, request, &response, client);
          own.push_back(1e6 * SecondsSince(start));
          if (!status.ok() || response.exists_size() != request.url_size()) failed.store(true);
        }
        std::lock_guard lock(latencies_mutex);
        latencies.insert(latencies.end(), own.begin(), own.end());
      });
    }
    for (std::thread& thread : threads) thread.join();
    const double batch = SecondsSince(batch_start);
    if (failed.load()) {
      state.SkipWithError("a call failed");
      break;
    }
    state.SetIterationTime(batch);
    seconds += batch;
  }
  if (latencies.empty() || seconds <= 0) return;
  state.counters["calls_per_s"] = static_cast<double>(latencies.size()) / seconds;
  state.counters["p99_us"] = Percentile(latencies, 0.99);
}
BENCHMARK(BM_ExistsFromEightClients)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
}  // namespace zelph::testing

BENCHMARK_MAIN();
