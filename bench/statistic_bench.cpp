// statistic_bench.cpp
//
// A worker's statistic for a 4096 x 4096 x 3 matrix output, 8U and 32F: the summary built
// and the document rendered (Statistic::AddDetail, which renders through UpdateJson), with
// the channel ranges from one pass over all channels against one pass per channel
// (PortDataMat::GetChannelMinMax). Both give the same document; the run stops with an
// error when they do not.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

std::shared_ptr<zelph::StatisticDetail> OnePass(const std::shared_ptr<PortDataMat>& mat) {
  return std::make_shared<zelph::MatStatisticDetail>("port", mat);
}

std::shared_ptr<zelph::StatisticDetail> PerChannel(const std::shared_ptr<PortDataMat>& mat) {
  auto detail = std::make_shared<zelph::MatStatisticDetail>("", nullptr);
  detail->port_id = "port";
  detail->initialized = mat->IsInitialized();
  detail->depth = mat->GetDepth();
  detail->dims.assign(mat->GetDims(), mat->GetDims() + mat->GetDimsSize());
  for (int channel = 0; channel < mat->GetChannels(); ++channel) {
    double min = -1;
    double max = -1;
    mat->GetChannelMinMax(channel, min, max);
    detail->channels.emplace_back(max, min);
  }
  return detail;
}

using Summarise = std::shared_ptr<zelph::StatisticDetail> (*)(const std::shared_ptr<PortDataMat>&);

std::string Document(const std::shared_ptr<PortDataMat>& mat, Summarise summarise) {
  zelph::Statistic statistic("worker", "worker");
  statistic.AddDetail(summarise(mat));
  std::string text = statistic.GetDocument().data->GetStr();
  return text.replace(text.find(statistic.id), statistic.id.size(), "id");
}

void BM_WorkerStatistic(benchmark::State& state, Summarise summarise) {
  const auto mat = Image(static_cast<MatDepth>(state.range(0)));
  if (Document(mat, &OnePass) != Document(mat, &PerChannel)) {
    state.SkipWithError("one pass and per-channel scans give different documents");
    return;
  }
  zelph::Statistic statistic("worker", "worker");
  for (auto _ : state) {
    statistic.BeginWorkerExecution(zelph::Statistic::Clock::now());
    statistic.AddDetail(summarise(mat));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * mat->GetSize()));
}

BENCHMARK_CAPTURE(BM_WorkerStatistic, OnePass, &OnePass)
    ->Arg(kDepth8U)
    ->Arg(kDepth32F)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WorkerStatistic, PerChannel, &PerChannel)
    ->Arg(kDepth8U)
    ->Arg(kDepth32F)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
