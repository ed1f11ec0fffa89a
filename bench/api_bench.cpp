// The bare cost of moving one 25 MB matrix through the API: protobuf serialisation and
// parsing of a GAnyData that holds it, and gRPC round trips over loopback that carry it in
// a SetData request and in a GetData reply. Each figure also comes as "x_memcpy", its time
// over the time of one memcpy of the same bytes; the service's own data path is measured
// against these.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>

#include "loopback_server.h"
#include "message/ZelphServiceApiV2.grpc.pb.h"
#include "message/datatype/datatype.pb.h"

namespace zelph {
namespace {

constexpr int64_t kRows = 5000;
constexpr int64_t kColumns = 5000;
constexpr size_t kMatrixBytes = kRows * kColumns;  // one 8-bit channel: 25 MB

GAnyData MakeMatrixData() {
  GAnyData data;
  data.set_url("/session:bench/project:bench/input:image");
  GMat* mat = data.mutable_mat();
  mat->set_depth(kDepth8U);
  mat->set_channels(1);
  mat->add_dims(kRows);
  mat->add_dims(kColumns);
  std::string* buffer = mat->mutable_buffer();
  buffer->resize(kMatrixBytes);
  for (size_t i = 0; i < kMatrixBytes; ++i) (*buffer)[i] = static_cast<char>(i * 31);
  return data;
}

const GAnyData& MatrixData() {
  static const GAnyData data = MakeMatrixData();
  return data;
}

// Mean seconds of one memcpy of the matrix bytes between buffers already paged in.
double MemcpySeconds() {
  static const double seconds = [] {
    constexpr int kWarmUpRuns = 10;
    constexpr int kRuns = 50;
    std::string source(kMatrixBytes, 'x');
    std::string target(kMatrixBytes, 'y');
    for (int run = 0; run < kWarmUpRuns; ++run) {
      std::memcpy(target.data(), source.data(), kMatrixBytes);
      benchmark::ClobberMemory();
    }
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < kRuns; ++run) {
      std::memcpy(target.data(), source.data(), kMatrixBytes);
      benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(target.data());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRuns;
  }();
  return seconds;
}

// Times each iteration on the wall clock (the round trips wait on other threads) and reports
// bytes per second and the mean iteration time over the memcpy time of the matrix bytes.
class MatrixTimer {
 public:
  explicit MatrixTimer(benchmark::State& state) : state_(state) {}
  ~MatrixTimer() {
    state_.SetBytesProcessed(static_cast<int64_t>(state_.iterations() * kMatrixBytes));
    if (state_.iterations() > 0) {
      state_.counters["x_memcpy"] = total_seconds_ / state_.iterations() / MemcpySeconds();
    }
  }
  void Start() { start_ = std::chrono::steady_clock::now(); }
  void Stop() {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    total_seconds_ += seconds;
    state_.SetIterationTime(seconds);
  }

 private:
  benchmark::State& state_;
  std::chrono::steady_clock::time_point start_;
  double total_seconds_ = 0;
};

void BM_Memcpy(benchmark::State& state) {
  std::string source(kMatrixBytes, 'x');
  std::string target(kMatrixBytes, 'y');
  MatrixTimer timer(state);
  for (auto _ : state) {
    timer.Start();
    std::memcpy(target.data(), source.data(), kMatrixBytes);
    benchmark::ClobberMemory();
    timer.Stop();
  }
  benchmark::DoNotOptimize(target.data());
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_SerializeMatrixData(benchmark::State& state) {
  const GAnyData& data = MatrixData();
  std::string wire(data.ByteSizeLong(), '\0');
  MatrixTimer timer(state);
  for (auto _ : state) {
    timer.Start();
    const size_t size = data.ByteSizeLong();
    data.SerializeWithCachedSizesToArray(reinterpret_cast<uint8_t*>(wire.data()));
    benchmark::DoNotOptimize(size);
    benchmark::ClobberMemory();
    timer.Stop();
  }
}
BENCHMARK(BM_SerializeMatrixData)->Unit(benchmark::kMillisecond)->UseManualTime();

// Each parse makes the matrix buffer anew (Clear drops the oneof member), as a request that
// gRPC parses does.
void BM_ParseMatrixData(benchmark::State& state) {
  const std::string wire = MatrixData().SerializeAsString();
  GAnyData parsed;
  MatrixTimer timer(state);
  for (auto _ : state) {
    timer.Start();
    const bool parsed_ok = parsed.ParseFromString(wire);
    timer.Stop();
    if (!parsed_ok) {
      state.SkipWithError("parse failed");
      break;
    }
    benchmark::DoNotOptimize(parsed.mat().buffer().data());
  }
}
BENCHMARK(BM_ParseMatrixData)->Unit(benchmark::kMillisecond)->UseManualTime();

// Answers at once: SetData accepts the request untouched; GetData copies the matrix into the
// reply, the one copy that a real reply cannot avoid either.
class ImmediateService : public ZelphServiceApiV2::Service {
 public:
  grpc::Status SetData(grpc::ServerContext*, const SetDataRequest*, SetDataResponse*) override {
    return grpc::Status::OK;
  }
  grpc::Status GetData(grpc::ServerContext*, const GetDataRequest*,
                       GetDataResponse* response) override {
    response->add_data()->CopyFrom(MatrixData());
    return grpc::Status::OK;
  }
};

// One unary call per iteration, timed from the call's context to the end of its response.
template <typename Request, typename Response>
void RunRoundTrips(benchmark::State& state, const Request& request,
                   grpc::Status (ZelphServiceApiV2::Stub::*method)(grpc::ClientContext*,
                                                                   const Request&, Response*)) {
  ImmediateService service;
  testing::LoopbackServer server(service);
  auto stub = server.NewStub();
  MatrixTimer timer(state);
  for (auto _ : state) {
    grpc::Status status;
    timer.Start();
    {
      grpc::ClientContext context;
      Response response;
      status = (stub.get()->*method)(&context, request, &response);
    }
    timer.Stop();
    if (!status.ok()) {
      state.SkipWithError(status.error_message().c_str());
      break;
    }
  }
}

void BM_SetDataRoundTrip(benchmark::State& state) {
  SetDataRequest request;
  request.set_url(MatrixData().url());
  *request.mutable_data() = MatrixData();
  RunRoundTrips(state, request, &ZelphServiceApiV2::Stub::SetData);
}
BENCHMARK(BM_SetDataRoundTrip)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_GetDataRoundTrip(benchmark::State& state) {
  GetDataRequest request;
  request.add_url(MatrixData().url());
  RunRoundTrips(state, request, &ZelphServiceApiV2::Stub::GetData);
}
BENCHMARK(BM_GetDataRoundTrip)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
}  // namespace zelph

BENCHMARK_MAIN();
