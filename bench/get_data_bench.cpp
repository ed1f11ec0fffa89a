// get_data_bench.cpp
//
// GetData through the served service (the test harness: a loopback port, the transport
// options, the service's allocator):
//   GetDataMatrix  a 25 MB matrix out of a project's cache, each call timed beside the bare
//                  round trip of the same reply: a service that copies a ready message of the
//                  same bytes into its reply, the one copy a reply cannot avoid. "x_bare" is
//                  the service's time over the bare time; the goal is at most 1.15.
//   FramePath      the data path of one 3840x2160x3 frame (24.9 MB): SetData of the frame into
//                  a worker's input, ExecuteCommand evaluating the chain of that one worker (which
//                  passes its input on), GetData of its output; timed beside the same three calls
//                  on a bare service (SetData and ExecuteCommand answered at once, GetData with a
//                  copy of the same reply). The goal is at most 1.3.
//   SmallGetData   ten scalar entries per call from 1, 8 and 32 clients at once, each with a
//                  channel of its own: "calls_per_s" over the whole batch and "p99_us", the
//                  99th percentile of the single calls' latencies, with the file log at error
//                  level (nothing written) and at trace level (every line written and flushed);
//                  each batch is followed by the same batch on the bare service ("bare_...",
//                  "x_bare" the ratio of the batch times).
// Built with the service's allocator; configure with -DZELPH_SERVICE_ALLOCATOR=system for the
// figures without it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "client_batch.h"
#include "loopback_server.h"
#include "service_harness.h"
#include "zelph/logger/log_config.h"

namespace zelph::testing {
namespace {

constexpr std::int64_t kSide = 5000;
constexpr size_t kMatrixBytes = kSide * kSide;  // one 8-bit channel: 25 MB

GAnyData MatrixValue(const std::string& url, std::int64_t width, std::int64_t height,
                     int channels) {
  GAnyData value;
  value.set_url(url);
  GMat* mat = value.mutable_mat();
  mat->set_depth(kDepth8U);
  mat->set_channels(channels);
  mat->add_dims(width);
  mat->add_dims(height);
  std::string* buffer = mat->mutable_buffer();
  buffer->resize(static_cast<size_t>(width * height * channels));
  for (size_t i = 0; i < buffer->size(); ++i) (*buffer)[i] = static_cast<char>(i * 31);
  return value;
}

GAnyData MatrixValue(const std::string& url) { return MatrixValue(url, kSide, kSide, 1); }

constexpr size_t kFrameBytes = 3840 * 2160 * 3;
GAnyData FrameValue(const std::string& url) { return MatrixValue(url, 3840, 2160, 3); }

// Answers GetData with a copy of a ready reply, and SetData and ExecuteCommand at once.
class BareReplyService : public ZelphServiceApiV2::Service {
 public:
  explicit BareReplyService(GetDataResponse reply) : reply_(std::move(reply)) {}
  grpc::Status GetData(grpc::ServerContext*, const GetDataRequest*,
                       GetDataResponse* response) override {
    response->CopyFrom(reply_);
    return grpc::Status::OK;
  }
  grpc::Status SetData(grpc::ServerContext*, const SetDataRequest*, SetDataResponse*) override {
    return grpc::Status::OK;
  }
  grpc::Status ExecuteCommand(grpc::ServerContext*, const ExecuteCommandRequest*,
                              ExecuteCommandResponse*) override {
    return grpc::Status::OK;
  }

 private:
  const GetDataResponse reply_;
};

void BM_GetDataMatrix(benchmark::State& state) {
  ServiceHarness harness;
  const std::string url = harness.NewProject() + "/input:image";
  SetDataRequest set;
  set.set_url(url);
  *set.mutable_data() = MatrixValue("image");
  if (!harness.Call(&Stub::SetData, set).ok()) {
    state.SkipWithError("SetData failed");
    return;
  }
  GetDataRequest request;
  request.add_url(url);
  // The same reply as the service's, stamp included.
  GetDataResponse reply;
  if (!harness.Call(&Stub::GetData, request, &reply).ok() || reply.data_size() != 1) {
    state.SkipWithError("GetData failed");
    return;
  }
  BareReplyService bare_service(std::move(reply));
  LoopbackServer bare_server(bare_service);
  const std::unique_ptr<Stub> bare = bare_server.NewStub();

  double service_seconds = 0;
  double bare_seconds = 0;
  for (auto _ : state) {
    grpc::Status status;
    Clock::time_point start = Clock::now();
    {
      GetDataResponse response;
      status = harness.Call(&Stub::GetData, request, &response);
    }
    const double seconds = SecondsSince(start);
    state.SetIterationTime(seconds);
    service_seconds += seconds;
    start = Clock::now();
    {
      GetDataResponse response;
      if (status.ok()) status = harness.Call(&Stub::GetData, request, &response, bare.get());
    }
    bare_seconds += SecondsSince(start);
    if (!status.ok()) {
      state.SkipWithError(status.error_message().c_str());
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMatrixBytes));
  if (bare_seconds > 0) {
    state.counters["x_bare"] = service_seconds / bare_seconds;
    state.counters["bare_ms"] = 1e3 * bare_seconds / static_cast<double>(state.iterations());
  }
}
BENCHMARK(BM_GetDataMatrix)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// Seconds spent in each call of a frame, summed over the frames.
struct FrameSeconds {
  double set = 0;
  double evaluate = 0;
  double get = 0;
  double Total() const { return set + evaluate + get; }
};

// One frame through a chain of one worker that passes its input on: SetData of the matrix
// into the worker's input, a synchronous evaluation, GetData of the worker's output; on
// `stub` (the harness's own when null).
grpc::Status RunFrame(ServiceHarness& harness, Stub* stub, const SetDataRequest& set,
                      const ExecuteCommandRequest& evaluate, const GetDataRequest& get,
                      FrameSeconds& seconds) {
  Clock::time_point start = Clock::now();
  SetDataResponse set_response;
  grpc::Status status = harness.Call(&Stub::SetData, set, &set_response, stub);
  seconds.set += SecondsSince(start);
  start = Clock::now();
  ExecuteCommandResponse evaluated;
  if (status.ok()) status = harness.Call(&Stub::ExecuteCommand, evaluate, &evaluated, stub);
  seconds.evaluate += SecondsSince(start);
  if (status.ok() && evaluated.status() != kOk) {
    status = grpc::Status(grpc::StatusCode::ABORTED, "evaluation cancelled");
  }
  start = Clock::now();
  GetDataResponse reply;
  if (status.ok()) status = harness.Call(&Stub::GetData, get, &reply, stub);
  seconds.get += SecondsSince(start);
  if (status.ok() &&
      (reply.data_size() != 1 || reply.data(0).mat().buffer().size() != kFrameBytes)) {
    status = grpc::Status(grpc::StatusCode::DATA_LOSS, "no output");
  }
  return status;
}

void BM_FramePath(benchmark::State& state) {
  ServiceHarness harness;
  const std::string project = harness.NewProject();
  harness.UploadChain(project, "slow.json");  // its gate stays open: one pass worker
  SetDataRequest set;
  set.set_url(project + "/worker:slow/input:input");
  *set.mutable_data() = FrameValue("image");
  ExecuteCommandRequest evaluate;
  evaluate.add_url(project);
  evaluate.set_command(kEvaluate);
  GetDataRequest get;
  get.add_url(project + "/worker:slow/output:output");
  FrameSeconds warm_up;
  if (grpc::Status status = RunFrame(harness, nullptr, set, evaluate, get, warm_up); !status.ok()) {
    state.SkipWithError(status.error_message().c_str());
    return;
  }
  GetDataResponse reply;
  harness.Call(&Stub::GetData, get, &reply);
  BareReplyService bare_service(std::move(reply));
  LoopbackServer bare_server(bare_service);
  const std::unique_ptr<Stub> bare = bare_server.NewStub();

  FrameSeconds service_seconds;
  FrameSeconds bare_seconds;
  for (auto _ : state) {
    const double before = service_seconds.Total();
    grpc::Status status = RunFrame(harness, nullptr, set, evaluate, get, service_seconds);
    state.SetIterationTime(service_seconds.Total() - before);
    if (status.ok()) status = RunFrame(harness, bare.get(), set, evaluate, get, bare_seconds);
    if (!status.ok()) {
      state.SkipWithError(status.error_message().c_str());
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * kFrameBytes));
  const double frames = static_cast<double>(state.iterations());
  if (bare_seconds.Total() > 0) {
    state.counters["x_bare"] = service_seconds.Total() / bare_seconds.Total();
    state.counters["bare_ms"] = 1e3 * bare_seconds.Total() / frames;
    state.counters["set_ms"] = 1e3 * service_seconds.set / frames;
    state.counters["evaluate_ms"] = 1e3 * service_seconds.evaluate / frames;
    state.counters["get_ms"] = 1e3 * service_seconds.get / frames;
    state.counters["bare_set_ms"] = 1e3 * bare_seconds.set / frames;
    state.counters["bare_get_ms"] = 1e3 * bare_seconds.get / frames;
  }
}
BENCHMARK(BM_FramePath)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// The process's file log, as the service writes it; its level is set per benchmark.
spdlog::logger& FileLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    LogConfig config;
    config.SetSink("FileText");
    config.SetFile((std::filesystem::temp_directory_path() / "zelph-get-data-bench.log").string());
    config.SetSeverity(ZelphSeverityLevel::kError);
    InitializeSpdLogging(config);
  });
  return *std::atomic_load(&kFileLogger);
}

constexpr int kEntries = 10;
constexpr int kCallsPerClient = 100;

// One batch of kCallsPerClient GetData calls from every client at once (see RunClientBatch).
double RunBatch(ServiceHarness& harness, const std::vector<std::unique_ptr<Stub>>& stubs,
                const GetDataRequest& request, std::vector<double>& latencies) {
  return RunClientBatch(
      harness, stubs, &Stub::GetData, request, kCallsPerClient,
      [](const GetDataResponse& response) { return response.data_size() == kEntries; }, latencies);
}

// Args: clients, log level (0 error, 1 trace). Each batch on the service is followed by the
// same batch on a bare service that answers a copy of the service's reply.
void BM_SmallGetData(benchmark::State& state) {
  const int clients = static_cast<int>(state.range(0));
  FileLog().set_level(state.range(1) == 0 ? spdlog::level::err : spdlog::level::trace);
  ServiceHarness harness;
  const std::string project = harness.NewProject();
  GetDataRequest request;
  for (int i = 0; i < kEntries; ++i) {
    SetDataRequest set;
    set.set_url(project + "/input:value" + std::to_string(i));
    set.mutable_data()->set_url("value");
    set.mutable_data()->set_double_val(0.5 * i);
    if (!harness.Call(&Stub::SetData, set).ok()) {
      state.SkipWithError("SetData failed");
      return;
    }
    request.add_url(set.url());
  }
  GetDataResponse reply;
  if (!harness.Call(&Stub::GetData, request, &reply).ok()) {
    state.SkipWithError("GetData failed");
    return;
  }
  BareReplyService bare_service(reply);
  LoopbackServer bare_server(bare_service);
  std::vector<std::unique_ptr<Stub>> stubs;
  std::vector<std::unique_ptr<Stub>> bare_stubs;
  for (int i = 0; i < clients; ++i) {
    stubs.push_back(harness.NewStub());
    bare_stubs.push_back(bare_server.NewStub());
  }

  std::vector<double> latencies;
  std::vector<double> bare_latencies;
  double seconds = 0;
  double bare_seconds = 0;
  for (auto _ : state) {
    const double batch = RunBatch(harness, stubs, request, latencies);
    const double bare_batch = RunBatch(harness, bare_stubs, request, bare_latencies);
    if (batch < 0 || bare_batch < 0) {
      state.SkipWithError("a call failed");
      break;
    }
    state.SetIterationTime(batch);
    seconds += batch;
    bare_seconds += bare_batch;
  }
  FileLog().set_level(spdlog::level::err);
  if (latencies.empty()) return;
  const double calls = static_cast<double>(latencies.size());
  state.counters["calls_per_s"] = calls / seconds;
  state.counters["p99_us"] = Percentile(latencies, 0.99);
  state.counters["bare_calls_per_s"] = calls / bare_seconds;
  state.counters["bare_p99_us"] = Percentile(bare_latencies, 0.99);
  state.counters["x_bare"] = seconds / bare_seconds;
}
BENCHMARK(BM_SmallGetData)
    ->ArgNames({"clients", "trace"})
    ->ArgsProduct({{1, 8, 32}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
}  // namespace zelph::testing

BENCHMARK_MAIN();
