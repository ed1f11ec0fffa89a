// service_clients_bench.cpp
//
// Throughput of the served service as clients are added: eight clients, each with its own
// channel, session and project, evaluating in a loop, against one client doing the same,
// measured alternately within one run. "x_one_client" is the eight clients' evaluations per
// second over the one client's (the goal: at least 6).
//   Clients/native  a line of three native pass-through workers on a 1920x1080x3 frame
//   Clients/java    the Java demo models Invert then Threshold on a 1920x1080x3 frame
//                   (zelph-java.so loaded from a home made in the build folder)
// Built with the service's allocator.
#include <benchmark/benchmark.h>

#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "java_plugin_main.h"
#include "java_test_home.h"
#include "service_harness.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kEvaluationsPerClient = 20;

// Two Java demo models in a line: Invert "invert" -> Threshold "threshold".
std::string JavaChainText() {
  constexpr const char* kMat = "031fc202-0193-4933-ab2e-d81492ce67e0";
  return fmt::format(R"({{
  "app": "zelph-project", "version": "1.1",
  "zelph_chain": {{
    "app": "zelph-project", "version": "1.1",
    "executor": {{"uuid": "b0a70000-0000-4000-8000-000000000001", "name": "Java line"}},
    "properties": [{{"name": "execution.strategy", "type": "scalar", "value": "graph"}}],
    "blocks": [
      {{"uuid": "b0a70000-0000-4000-8000-0000000000a1",
        "executor_id": "5d0e1a20-7b3c-4d2e-8f10-000000000001", "executor_name": "Invert",
        "ports": [{{"uuid": "b0a70000-0000-4000-8000-0000000000b1", "type": 1, "data_type_uuid": "{0}", "name": "image"}},
                  {{"uuid": "b0a70000-0000-4000-8000-0000000000b2", "type": 2, "data_type_uuid": "{0}", "name": "image"}}],
        "system": {{"name": "invert"}}}},
      {{"uuid": "b0a70000-0000-4000-8000-0000000000a2",
        "executor_id": "5d0e1a20-7b3c-4d2e-8f10-000000000004", "executor_name": "Threshold",
        "ports": [{{"uuid": "b0a70000-0000-4000-8000-0000000000c1", "type": 1, "data_type_uuid": "{0}", "name": "image"}},
                  {{"uuid": "b0a70000-0000-4000-8000-0000000000c2", "type": 2, "data_type_uuid": "{0}", "name": "image"}}],
        "system": {{"name": "threshold"}}}}
    ],
    "links": [{{"uuid": "b0a70000-0000-4000-8000-0000000000e1",
                "src_port_uuid": "b0a70000-0000-4000-8000-0000000000b2",
                "dest_port_uuid": "b0a70000-0000-4000-8000-0000000000c1"}}]
  }}
}})",
                     kMat);
}

enum class Workers { kNative, kJava };

GAnyData Frame() {
  GAnyData value;
  value.set_url("frame");
  GMat* mat = value.mutable_mat();
  mat->set_depth(kDepth8U);
  mat->set_channels(3);
  mat->add_dims(1920);
  mat->add_dims(1080);
  std::string* buffer = mat->mutable_buffer();
  buffer->resize(1920 * 1080 * 3);
  for (size_t i = 0; i < buffer->size(); ++i) (*buffer)[i] = static_cast<char>(i * 13);
  return value;
}

// One client: a stub of its own and a project with the chain and the frame at its input.
struct Client {
  std::unique_ptr<Stub> stub;
  ExecuteCommandRequest evaluate;
};

Client NewClient(ServiceHarness& harness, Workers workers) {
  Client client{harness.NewStub(), {}};
  const std::string project = harness.NewProject();
  UploadProjectRequest upload;
  upload.set_url(project);
  upload.mutable_file()->set_data(workers == Workers::kJava ? JavaChainText()
                                                            : ChainText("line.json"));
  if (!harness.Call(&Stub::UploadProject, upload).ok()) throw std::runtime_error("upload failed");
  SetDataRequest set;
  set.set_url(project + (workers == Workers::kJava ? "/worker:invert/input:image"
                                                   : "/worker:source/input:input"));
  *set.mutable_data() = Frame();
  if (!harness.Call(&Stub::SetData, set).ok()) throw std::runtime_error("SetData failed");
  client.evaluate.set_command(kEvaluate);
  client.evaluate.add_url(project);
  return client;
}

// Every client evaluates kEvaluationsPerClient times at once; answers the wall time, or a
// negative time when an evaluation failed.
double RunClients(ServiceHarness& harness, std::vector<Client>& clients) {
  std::atomic<bool> failed{false};
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> threads;
  for (Client& client : clients) {
    threads.emplace_back([&] {
      for (int i = 0; i < kEvaluationsPerClient; ++i) {
        ExecuteCommandResponse response;
        const grpc::Status status =
            harness.Call(&Stub::ExecuteCommand, client.evaluate, &response, client.stub.get());
        if (!status.ok() || response.status() != kOk) failed = true;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return failed ? -1 : seconds;
}

void BM_Clients(benchmark::State& state, Workers workers) {
  ServiceHarness harness;
  std::vector<Client> one;
  std::vector<Client> eight;
  try {
    one.push_back(NewClient(harness, workers));
    for (int i = 0; i < 8; ++i) eight.push_back(NewClient(harness, workers));
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  RunClients(harness, one);  // warm-up: first runs, previews, Java classes
  RunClients(harness, eight);
  double one_seconds = 0;
  double eight_seconds = 0;
  for (auto _ : state) {
    const double one_batch = RunClients(harness, one);
    const double eight_batch = RunClients(harness, eight);
    if (one_batch < 0 || eight_batch < 0) {
      state.SkipWithError("an evaluation failed");
      break;
    }
    state.SetIterationTime(eight_batch);
    one_seconds += one_batch;
    eight_seconds += eight_batch;
  }
  if (one_seconds <= 0 || eight_seconds <= 0) return;
  const double iterations = static_cast<double>(state.iterations());
  const double one_rate = iterations * kEvaluationsPerClient / one_seconds;
  const double eight_rate = iterations * 8 * kEvaluationsPerClient / eight_seconds;
  state.counters["one_client_per_s"] = one_rate;
  state.counters["eight_clients_per_s"] = eight_rate;
  state.counters["x_one_client"] = eight_rate / one_rate;
}
BENCHMARK_CAPTURE(BM_Clients, native, Workers::kNative)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(2.0);
BENCHMARK_CAPTURE(BM_Clients, java, Workers::kJava)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(2.0);

}  // namespace
}  // namespace zelph::testing

int main(int argc, char** argv) {
  return zelph::bench::RunWithJavaPlugin(argc, argv, "bench-service-clients");
}
