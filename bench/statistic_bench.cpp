// statistic_bench.cpp
//
// The channel ranges of a 4096 x 4096 x 3 matrix, 8U and 32F, as a statistic document needs
// them: one pass over all channels (ScanChannelRanges, what a matrix scans on its first read)
// against one pass per channel (PortDataMat::GetChannelMinMax); the run stops with an error
// when they differ. And a worker's statistic read after a run with that matrix at its port,
// whose ranges the matrix remembers from an earlier read.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zelph/model/channel_ranges.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/projects/statistic.h"

namespace {

constexpr std::size_t kSide = 4096;
constexpr int kChannels = 3;

// Values that vary within and across channels, with the extremes away from the edges.
std::shared_ptr<PortDataMat> Image(MatDepth depth) {
  const std::size_t dims[] = {kSide, kSide};
  auto mat = std::make_shared<PortDataMat>(dims, 2, depth, kChannels);
  if (depth == kDepth32F) {
    auto* values = reinterpret_cast<float*>(mat->GetData());
    for (std::size_t i = 0; i < mat->GetSize() / sizeof(float); ++i) {
      values[i] = static_cast<float>((i * 7919) % 100003) * 0.25f - 1000.0f;
    }
  } else {
    for (std::size_t i = 0; i < mat->GetSize(); ++i) {
      mat->GetData()[i] = static_cast<char>((i * 7919) % 251);
    }
  }
  return mat;
}

std::vector<zelph::ChannelRange> OnePass(const PortDataMat& mat) {
  return zelph::ScanChannelRanges(mat);
}

std::vector<zelph::ChannelRange> PerChannel(const PortDataMat& mat) {
  std::vector<zelph::ChannelRange> ranges(static_cast<std::size_t>(mat.GetChannels()));
  for (int channel = 0; channel < mat.GetChannels(); ++channel) {
    zelph::ChannelRange& range = ranges[static_cast<std::size_t>(channel)];
    range = {-1, -1};
    mat.GetChannelMinMax(channel, range.min, range.max);
  }
  return ranges;
}

using Scan = std::vector<zelph::ChannelRange> (*)(const PortDataMat&);

bool SameRanges(const std::vector<zelph::ChannelRange>& a,
                const std::vector<zelph::ChannelRange>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].min != b[i].min || a[i].max != b[i].max) return false;
  }
  return true;
}

void BM_ChannelRanges(benchmark::State& state, Scan scan) {
  const auto mat = Image(static_cast<MatDepth>(state.range(0)));
  if (!SameRanges(OnePass(*mat), PerChannel(*mat))) {
    state.SkipWithError("one pass and per-channel scans give different ranges");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(scan(*mat));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * mat->GetSize()));
}

BENCHMARK_CAPTURE(BM_ChannelRanges, OnePass, &OnePass)
    ->Arg(kDepth8U)
    ->Arg(kDepth32F)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChannelRanges, PerChannel, &PerChannel)
    ->Arg(kDepth8U)
    ->Arg(kDepth32F)
    ->Unit(benchmark::kMillisecond);

// A run's summary of the matrix and the document read, the ranges remembered by the matrix.
void BM_WorkerStatisticRead(benchmark::State& state) {
  const auto mat = Image(static_cast<MatDepth>(state.range(0)));
  zelph::Statistic statistic("worker", "worker");
  for (auto _ : state) {
    statistic.BeginWorkerExecution(zelph::Statistic::Clock::now());
    statistic.AddDetail(std::make_shared<zelph::MatStatisticDetail>("port", mat));
    benchmark::DoNotOptimize(statistic.GetDocument().data.get());
  }
}
BENCHMARK(BM_WorkerStatisticRead)->Arg(kDepth8U)->Arg(kDepth32F)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
