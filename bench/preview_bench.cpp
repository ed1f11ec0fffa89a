// preview_bench.cpp
//
// Previews of 3840 x 2160 frames (8-bit with 3 and 4 channels, 16-bit and 32-bit float with
// 3): PreparePreviewImage against the least OpenCV itself does for the same picture, a
// linear resize of the frame to the preview's 240 x 135 followed by the JPEG encoding at
// quality 95 (the goal: at most 1.3 times as long); with auto contrast as well, which reads
// the whole frame for its range.
//
// Previews per second under a burst of 1000 previews of 1920 x 1080 frames: through the
// background pool with a key per preview (all of them made) and with 20 keys (a newer
// preview replaces a waiting one of its key), against a thread started per preview.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "zelph/model/port_data_mat.h"
#include "zelph/projects/background_tasks.h"
#include "zelph/projects/preview_image.h"

namespace {

// Noise over a gradient in the depth's usual range; a fourth channel is opaque.
std::shared_ptr<PortDataMat> Frame(int width, int height, MatDepth depth, int channels) {
  cv::Mat frame(height, width, CV_MAKETYPE(depth, channels));
  const double top = depth == kDepth32F ? 1.0 : depth == kDepth16U ? 65535.0 : 255.0;
  cv::randu(frame, cv::Scalar::all(0), cv::Scalar::all(top));
  cv::Mat ramp(height, width, frame.type());
  for (int x = 0; x < width; ++x) {
    ramp.col(x).setTo(cv::Scalar::all(top * x / width));
  }
  cv::addWeighted(frame, 0.25, ramp, 0.75, 0, frame);
  if (channels == 4) {
    cv::Mat alpha(height, width, CV_MAKETYPE(depth, 1), cv::Scalar(top));
    const int pair[] = {0, 3};
    cv::mixChannels(&alpha, 1, &frame, 1, pair, 1);
  }
  auto mat = std::make_shared<PortDataMat>();
  mat->SetDataAndCopy(static_cast<std::size_t>(width), static_cast<std::size_t>(height), channels,
                      depth, reinterpret_cast<const char*>(frame.data),
                      frame.total() * frame.elemSize());
  return mat;
}

struct FrameCase {
  MatDepth depth;
  int channels;
};
constexpr FrameCase kFrames[] = {{kDepth8U, 3}, {kDepth8U, 4}, {kDepth16U, 3}, {kDepth32F, 3}};

void SetLabel(benchmark::State& state, const FrameCase& frame) {
  const char* depth = frame.depth == kDepth8U ? "8U" : frame.depth == kDepth16U ? "16U" : "32F";
  state.SetLabel(std::string(depth) + " x" + std::to_string(frame.channels));
}

void BM_PreparePreviewImage(benchmark::State& state) {
  const FrameCase& frame = kFrames[state.range(0)];
  const bool auto_contrast = state.range(1) != 0;
  const auto source = Frame(3840, 2160, frame.depth, frame.channels);
  for (auto _ : state) {
    const auto preview = zelph::PreparePreviewImage(*source, auto_contrast);
    if (preview == nullptr) state.SkipWithError("no preview");
    benchmark::DoNotOptimize(preview);
  }
  SetLabel(state, frame);
}
BENCHMARK(BM_PreparePreviewImage)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->ArgNames({"frame", "auto_contrast"})
    ->Unit(benchmark::kMillisecond);

// With `scaled` 0 the encoder converts a 16-bit or float image to 8 bits itself, unscaled,
// so it encodes a picture that is mostly black or white, which is cheaper to encode; with 1
// the values are first scaled as the preview scales them, so both encode the same picture.
void BM_ResizeAndEncode(benchmark::State& state) {
  const FrameCase& frame = kFrames[state.range(0)];
  const bool scaled = state.range(1) != 0;
  const double scale = frame.depth == kDepth16U   ? 255.0 / 32767.0
                       : frame.depth == kDepth32F ? 255.0
                                                  : 1.0;
  const auto source = Frame(3840, 2160, frame.depth, frame.channels);
  const cv::Mat image(2160, 3840, CV_MAKETYPE(frame.depth, frame.channels), source->GetData());
  for (auto _ : state) {
    cv::Mat small;
    cv::resize(image, small, cv::Size(240, 135), 0, 0, cv::INTER_LINEAR);
    if (scaled && scale != 1.0) small.convertTo(small, CV_8U, scale);
    std::vector<unsigned char> jpeg;
    if (!cv::imencode(".jpg", small, jpeg, {cv::IMWRITE_JPEG_QUALITY, 95})) {
      state.SkipWithError("no jpeg");
    }
    benchmark::DoNotOptimize(jpeg.data());
  }
  SetLabel(state, frame);
}
BENCHMARK(BM_ResizeAndEncode)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->ArgNames({"frame", "scaled"})
    ->Unit(benchmark::kMillisecond);

constexpr int kBurst = 1000;

// Counts finished previews and lets the benchmark wait for a number of them.
class Finished {
 public:
  void Add() {
    std::lock_guard lock(mutex_);
    ++count_;
    changed_.notify_all();
  }
  void WaitFor(int count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return count_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

void BM_PreviewBurstOnThePool(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const auto source = Frame(1920, 1080, kDepth8U, 3);
  std::atomic<long> made{0};
  zelph::BackgroundTasks tasks;
  for (auto _ : state) {
    for (int i = 0; i < kBurst; ++i) {
      const bool queued = tasks.SubmitPreview("project/" + std::to_string(i % keys), [&] {
        benchmark::DoNotOptimize(zelph::PreparePreviewImage(*source, false));
        ++made;
      });
      if (!queued) state.SkipWithError("refused");
    }
    tasks.WaitIdle(std::chrono::minutes(1));
  }
  state.SetItemsProcessed(state.iterations() * kBurst);
  state.counters["made_per_burst"] =
      static_cast<double>(made.load()) / static_cast<double>(state.iterations());
  state.counters["pool_threads"] =
      static_cast<double>(zelph::BackgroundTasks::DefaultPreviewThreads());
}
BENCHMARK(BM_PreviewBurstOnThePool)
    ->Arg(kBurst)
    ->Arg(20)
    ->ArgName("keys")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_PreviewBurstThreadPerPreview(benchmark::State& state) {
  const auto source = Frame(1920, 1080, kDepth8U, 3);
  for (auto _ : state) {
    Finished finished;
    for (int i = 0; i < kBurst; ++i) {
      std::thread([&] {
        benchmark::DoNotOptimize(zelph::PreparePreviewImage(*source, false));
        finished.Add();
      }).detach();
    }
    finished.WaitFor(kBurst);
  }
  state.SetItemsProcessed(state.iterations() * kBurst);
}
BENCHMARK(BM_PreviewBurstThreadPerPreview)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
