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

#include "client_batch.h"
#include "service_harness.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {
namespace {

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
  double seconds = 0;
  for (auto _ : state) {
    const double batch = RunClientBatch(
        harness, stubs, &Stub::Exists, request, kCallsPerClient,
        [&](const ExistsResponse& response) {
          return response.exists_size() == request.url_size();
        },
        latencies);
    if (batch < 0) {
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
