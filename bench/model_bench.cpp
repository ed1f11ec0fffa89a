// model_bench.cpp
//
// Large-buffer and property-bag costs of the data-process model: matrix copies against
// memcpy into a warm and into a fresh buffer, scans against a plain loop over the same bytes,
// number-block conversion, and bag reads from 1 and 8 threads (one writer running beside them).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/property.h"

namespace {

constexpr size_t kSide = 4096;
constexpr int kChannels = 3;

// A 4096 x 4096 x 3 matrix of 8U or 32F values that vary.
std::unique_ptr<PortDataMat> Image(MatDepth depth) {
  const size_t dims[] = {kSide, kSide};
  auto mat = std::make_unique<PortDataMat>(dims, 2, depth, kChannels);
  if (depth == kDepth32F) {
    auto* values = reinterpret_cast<float*>(mat->GetData());
    for (size_t i = 0; i < mat->GetSize() / sizeof(float); ++i) values[i] = (i % 1000) * 0.5f;
  } else {
    for (size_t i = 0; i < mat->GetSize(); ++i) mat->GetData()[i] = static_cast<char>(i * 31);
  }
  return mat;
}

MatDepth DepthOf(const benchmark::State& state) { return static_cast<MatDepth>(state.range(0)); }

void SetBytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_Memcpy(benchmark::State& state) {
  auto mat = Image(DepthOf(state));
  std::unique_ptr<char[]> target(new char[mat->GetSize()]);
  for (auto _ : state) {
    std::memcpy(target.get(), mat->GetData(), mat->GetSize());
    benchmark::DoNotOptimize(target.get());
  }
  SetBytes(state, mat->GetSize());
}

// The same bytes into a freshly allocated buffer, as every copy of a matrix must do: large
// blocks come from the kernel page by page, which costs more than the copy itself.
void BM_MemcpyFreshBuffer(benchmark::State& state) {
  auto mat = Image(DepthOf(state));
  for (auto _ : state) {
    std::unique_ptr<char[]> target(new char[mat->GetSize()]);
    std::memcpy(target.get(), mat->GetData(), mat->GetSize());
    benchmark::DoNotOptimize(target.get());
  }
  SetBytes(state, mat->GetSize());
}

// Seconds one call of `run` takes.
template <typename Run>
double SecondsOf(Run&& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// memcpy of `mat`'s bytes into `target`, for the reference times.
double MemcpySeconds(const PortDataMat& mat, char* target) {
  return SecondsOf([&] {
    std::memcpy(target, mat.GetData(), mat.GetSize());
    benchmark::DoNotOptimize(target);
  });
}

// Times `copy` of `mat` and, interleaved with it outside the timed part, memcpy of the same
// bytes into three targets; the counters are memcpy time / copy time (1 = as fast as memcpy):
//   vs_warm_memcpy       a warm buffer that a matrix allocated (huge pages where the kernel
//                        gives them), so only the cost of getting fresh memory differs;
//   vs_warm_heap_memcpy  a warm new[] buffer (4 KB pages);
//   vs_fresh_memcpy      a new[] buffer allocated for each copy, as copies used to be.
// Interleaving keeps both sides under the same load on a shared machine.
template <typename Copy>
void RunAgainstMemcpy(benchmark::State& state, const PortDataMat& mat, Copy copy) {
  const size_t size = mat.GetSize();
  PortDataMat warm_mat(mat);
  std::unique_ptr<char[]> warm_heap(new char[size]);
  std::memcpy(warm_heap.get(), mat.GetData(), size);
  double copy_seconds = 0, warm_seconds = 0, warm_heap_seconds = 0, fresh_seconds = 0;
  for (auto _ : state) {
    copy_seconds += SecondsOf(copy);
    state.PauseTiming();
    warm_seconds += MemcpySeconds(mat, warm_mat.GetData());
    warm_heap_seconds += MemcpySeconds(mat, warm_heap.get());
    std::unique_ptr<char[]> fresh(new char[size]);
    fresh_seconds += MemcpySeconds(mat, fresh.get());
    fresh.reset();
    state.ResumeTiming();
  }
  state.counters["vs_warm_memcpy"] = warm_seconds / copy_seconds;
  state.counters["vs_warm_heap_memcpy"] = warm_heap_seconds / copy_seconds;
  state.counters["vs_fresh_memcpy"] = fresh_seconds / copy_seconds;
  SetBytes(state, size);
}

void BM_MatCopy(benchmark::State& state) {
  auto mat = Image(DepthOf(state));
  RunAgainstMemcpy(state, *mat, [&] {
    PortDataMat copy(*mat);
    benchmark::DoNotOptimize(copy.GetData());
  });
}

void BM_MatSetDataAndCopy(benchmark::State& state) {
  auto mat = Image(DepthOf(state));
  PortDataMat target;
  RunAgainstMemcpy(state, *mat, [&] {
    target.SetDataAndCopy(kSide, kSide, kChannels, mat->GetDepth(), mat->GetData(), mat->GetSize());
    benchmark::DoNotOptimize(target.GetData());
  });
}

void BM_MatChannelMinMax(benchmark::State& state) {
  auto mat = Image(DepthOf(state));
  for (auto _ : state) {
    for (int c = 0; c < kChannels; ++c) {
      double min = 0, max = 0;
      mat->GetChannelMinMax(c, min, max);
      benchmark::DoNotOptimize(min + max);
    }
  }
  SetBytes(state, mat->GetSize());
}

// The reference: one plain loop over all values, keeping each channel's minimum and maximum.
template <typename T>
void PlainMinMax(const PortDataMat& mat) {
  const T* values = reinterpret_cast<const T*>(mat.GetData());
  const size_t count = mat.GetSize() / sizeof(T);
  T low[kChannels], high[kChannels];
  for (int c = 0; c < kChannels; ++c) low[c] = high[c] = values[c];
  for (size_t i = 0; i < count; i += kChannels) {
    for (int c = 0; c < kChannels; ++c) {
      low[c] = values[i + c] < low[c] ? values[i + c] : low[c];
      high[c] = values[i + c] > high[c] ? values[i + c] : high[c];
    }
  }
  benchmark::DoNotOptimize(low);
  benchmark::DoNotOptimize(high);
}

void BM_PlainLoopMinMax(benchmark::State& state) {
  auto mat = Image(DepthOf(state));
  for (auto _ : state) {
    if (mat->GetDepth() == kDepth8U) {
      PlainMinMax<std::uint8_t>(*mat);
    } else {
      PlainMinMax<float>(*mat);
    }
  }
  SetBytes(state, mat->GetSize());
}

// ConvertTo of 10 M elements: int32 -> double (range 0) and double -> short (range 1).
void BM_NumbersConvertTo(benchmark::State& state) {
  constexpr size_t kCount = 10'000'000;
  const bool from_int = state.range(0) == 0;
  PortDataNumbers numbers;
  if (from_int) {
    std::vector<int> values(kCount);
    for (size_t i = 0; i < kCount; ++i) values[i] = static_cast<int>(i);
    numbers.SetDataAndCopy(reinterpret_cast<const char*>(values.data()), kCount * sizeof(int),
                           DataTypeInt32::GetInstance());
  } else {
    std::vector<double> values(kCount);
    for (size_t i = 0; i < kCount; ++i) values[i] = static_cast<double>(i) * 0.37;
    numbers.SetDataAndCopy(reinterpret_cast<const char*>(values.data()), kCount * sizeof(double),
                           DataTypeDouble::GetInstance());
  }
  IDataType* target = from_int ? DataTypeDouble::GetInstance() : DataTypeShort::GetInstance();
  for (auto _ : state) {
    auto converted = numbers.ConvertTo(target);
    benchmark::DoNotOptimize(converted->GetSize());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
  state.SetLabel(from_int ? "int32->double" : "double->short");
}

// Bag reads as a worker's typed getters do them: lookup, value copy, conversion.
Property& SharedBag() {
  static Property* bag = [] {
    auto* made = new Property();
    for (int i = 0; i < 32; ++i) made->SetValue("$__system.key" + std::to_string(i), i);
    made->SetValue("$__system.enabled", true);
    return made;
  }();
  return *bag;
}

void BM_PropertyRead(benchmark::State& state) {
  Property& bag = SharedBag();
  std::atomic<bool> stop{false};
  std::thread writer;
  if (state.thread_index() == 0) {
    writer = std::thread([&] {
      for (int i = 0; !stop; ++i) {
        bag.SetValue("$__system.key7", i);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
    });
  }
  for (auto _ : state) {
    auto value = bag.GetValue("$__system.enabled");
    benchmark::DoNotOptimize(value && PropertyValueToBool(*value));
  }
  stop = true;
  if (writer.joinable()) writer.join();
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_Memcpy)->Arg(kDepth8U)->Arg(kDepth32F)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyFreshBuffer)->Arg(kDepth8U)->Arg(kDepth32F)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatCopy)->Arg(kDepth8U)->Arg(kDepth32F)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatSetDataAndCopy)->Arg(kDepth8U)->Arg(kDepth32F)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLoopMinMax)->Arg(kDepth8U)->Arg(kDepth32F)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatChannelMinMax)->Arg(kDepth8U)->Arg(kDepth32F)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumbersConvertTo)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PropertyRead)->Threads(1)->Threads(8)->UseRealTime();

BENCHMARK_MAIN();
