// rpc_bench.cpp
//
// Per-call costs of the API layer that need no service: parsing and checking a four-level
// object URL, and a 25 MB matrix between a GAnyData message and port data, each direction
// against memcpy of the same bytes into a warm buffer, a fresh heap buffer and a fresh
// mapping of the kind large matrices own.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "zelph/model/port_data.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/platform/large_buffer.h"
#include "zelph/rpc/any_data_conversion.h"
#include "zelph/rpc/object_url.h"

namespace {

const std::string kWorkerPropertyUrl =
    "/session:default/project:6f1c2a9e-1f4b-4c57-9a0e-3b8d2f7c1e55"
    "/worker:0b7e4d2a-9c3f-4e1a-8b6d-5f2c7a9e3d10/property:threshold";

void BM_ObjectUrlParse(benchmark::State& state) {
  for (auto _ : state) {
    const ObjectUrl url(kWorkerPropertyUrl);
    benchmark::DoNotOptimize(url.GetPath().data());
    benchmark::DoNotOptimize(url.Node(UrlPlace::kWorker).GetId().data());
  }
}
BENCHMARK(BM_ObjectUrlParse);

void BM_ValidateObjectUrl(benchmark::State& state) {
  for (auto _ : state) {
    const grpc::Status status = ValidateObjectUrl(kWorkerPropertyUrl);
    benchmark::DoNotOptimize(status.ok());
  }
}
BENCHMARK(BM_ValidateObjectUrl);

// What a handler does with its URL: check it, parse it, compare its path, read the ids.
void BM_ObjectUrlValidateAndParse(benchmark::State& state) {
  for (auto _ : state) {
    const grpc::Status status = ValidateObjectUrl(kWorkerPropertyUrl);
    const ObjectUrl url(kWorkerPropertyUrl);
    const bool accepted = status.ok() && url.GetPath() == "/session/project/worker/property";
    benchmark::DoNotOptimize(accepted);
    benchmark::DoNotOptimize(url.Node(UrlPlace::kWorkerProperty).GetId().data());
  }
}
BENCHMARK(BM_ObjectUrlValidateAndParse);

// 2560 x 2560 x 4 8-bit values: 25 MiB.
constexpr std::int64_t kSide = 2560;
constexpr int kChannels = 4;
constexpr size_t kMatBytes = kSide * kSide * kChannels;

zelph::GAnyData MatMessage() {
  zelph::GAnyData value;
  value.set_url("frame");
  zelph::GMat* mat = value.mutable_mat();
  mat->set_depth(zelph::kDepth8U);
  mat->set_channels(kChannels);
  mat->add_dims(kSide);
  mat->add_dims(kSide);
  std::string* buffer = mat->mutable_buffer();
  buffer->resize(kMatBytes);
  for (size_t i = 0; i < kMatBytes; ++i) (*buffer)[i] = static_cast<char>(i * 31);
  return value;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kMatBytes));
}

// SetData's conversion: the new matrix takes over the message's bytes, freed again with the
// port data. Each message is made outside the timing.
void BM_MatFromAnyData(benchmark::State& state) {
  const zelph::GAnyData message = MatMessage();
  for (auto _ : state) {
    state.PauseTiming();
    zelph::GAnyData value = message;
    state.ResumeTiming();
    std::shared_ptr<IPortData> data;
    const grpc::Status status = PortDataFromAnyData(value, data);
    if (!status.ok()) state.SkipWithError(status.error_message().c_str());
    benchmark::DoNotOptimize(data.get());
  }
  SetBytes(state);
}
BENCHMARK(BM_MatFromAnyData)->Unit(benchmark::kMillisecond);

// GetData's conversion: one copy into a new reply message.
void BM_MatToAnyData(benchmark::State& state) {
  std::shared_ptr<IPortData> data;
  zelph::GAnyData message = MatMessage();
  if (!PortDataFromAnyData(message, data).ok()) state.SkipWithError("no matrix");
  for (auto _ : state) {
    zelph::GAnyData value;
    const grpc::Status status = PortDataToAnyData(*data, value);
    benchmark::DoNotOptimize(value.mat().buffer().data());
    benchmark::DoNotOptimize(status.ok());
  }
  SetBytes(state);
}
BENCHMARK(BM_MatToAnyData)->Unit(benchmark::kMillisecond);

// The floor: the same bytes into a buffer that is already faulted in.
void BM_MemcpyWarm(benchmark::State& state) {
  const zelph::GAnyData value = MatMessage();
  std::unique_ptr<char[]> target(new char[kMatBytes]);
  std::memset(target.get(), 0, kMatBytes);
  for (auto _ : state) {
    std::memcpy(target.get(), value.mat().buffer().data(), kMatBytes);
    benchmark::DoNotOptimize(target.get());
  }
  SetBytes(state);
}
BENCHMARK(BM_MemcpyWarm)->Unit(benchmark::kMillisecond);

// The same bytes into a buffer allocated for the copy and freed after it, as a plain
// new[] does it: every page is faulted in again.
void BM_MemcpyFresh(benchmark::State& state) {
  const zelph::GAnyData value = MatMessage();
  for (auto _ : state) {
    std::unique_ptr<char[]> target(new char[kMatBytes]);
    std::memcpy(target.get(), value.mat().buffer().data(), kMatBytes);
    benchmark::DoNotOptimize(target.get());
  }
  SetBytes(state);
}
BENCHMARK(BM_MemcpyFresh)->Unit(benchmark::kMillisecond);

// The same bytes into a new buffer of the kind a large matrix owns (a fresh huge-page
// mapping): the floor for a conversion that must make new port data.
void BM_MemcpyFreshLargeBuffer(benchmark::State& state) {
  const zelph::GAnyData value = MatMessage();
  for (auto _ : state) {
    char* target = zelph::sys::AllocateLargeBuffer(kMatBytes);
    std::memcpy(target, value.mat().buffer().data(), kMatBytes);
    benchmark::DoNotOptimize(target);
    zelph::sys::FreeLargeBuffer(target, kMatBytes);
  }
  SetBytes(state);
}
BENCHMARK(BM_MemcpyFreshLargeBuffer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
