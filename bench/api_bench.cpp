// The bare cost of moving one 25 MB matrix through the API: protobuf serialisation and
// parsing of a GAnyData that holds it, and gRPC round trips over loopback that carry it in
// a SetData request and in a GetData reply, with the service's transport options on both
// sides. Each figure also comes as "x_memcpy", its time over the time of one memcpy of the
// same bytes; the service's own data path is measured against these. Built with the
// service's allocator; configure with -DZELPH_SERVICE_ALLOCATOR=system for the figures
// without it.
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

// Times each iteration on the wall clock (the round trips wait on other threads) and, after
// each, outside the timed part, one memcpy of the matrix bytes between two buffers already
// paged in. Reports bytes per second and "x_memcpy", the iteration time over the memcpy time;
// interleaving keeps both under the same load on a shared machine.
class MatrixTimer {
 public:
  explicit MatrixTimer(benchmark::State& state)
      : state_(state), memcpy_source_(kMatrixBytes, 'x'), memcpy_target_(kMatrixBytes, 'y') {}
  ~MatrixTimer() {
    state_.SetBytesProcessed(static_cast<int64_t>(state_.iterations() * kMatrixBytes));
    if (memcpy_seconds_ > 0) state_.counters["x_memcpy"] = total_seconds_ / memcpy_seconds_;
  }
  void Start() { start_ = std::chrono::steady_clock::now(); }
  void Stop() {
    const double seconds = SecondsSince(start_);
    total_seconds_ += seconds;
    state_.SetIterationTime(seconds);

    const auto memcpy_start = std::chrono::steady_clock::now();
    std::memcpy(memcpy_target_.data(), memcpy_source_.data(), kMatrixBytes);
    benchmark::ClobberMemory();
    memcpy_seconds_ += SecondsSince(memcpy_start);
  }

 private:
  static double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

  benchmark::State& state_;
  std::string memcpy_source_;
  std::string memcpy_target_;
  std::chrono::steady_clock::time_point start_;
  double total_seconds_ = 0;
  double memcpy_seconds_ = 0;
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
