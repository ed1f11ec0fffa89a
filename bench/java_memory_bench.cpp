// java_memory_bench.cpp
//
// What the Java demo models leave in the served process's resident memory. The "Image
// cleanup" app (Grey, BoxBlur, Threshold, Invert; zelph-java.so loaded from a home made in
// the build folder, with the installation's conf/jvm.json) is evaluated through the API on
// 8-bit frames of 2000 rows and about 2000x3 bytes a row, a little wider or narrower from run
// to run:
//   JavaMemory/frames    one project, 60 runs in 6 rounds of 10;
//   JavaMemory/projects  8 rounds of 10 sessions, each with a project of the app evaluated
//                        once, all removed at the end of the round.
// The counters give the resident memory at the end of the first round and the most it grew
// past that at the end of a later round; the goal is less than 100 MB. A growth beyond that
// fails the benchmark.
// Built with the service's allocator.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "java_plugin_main.h"
#include "java_test_home.h"
#include "service_harness.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/service_background_tasks.h"

namespace zelph::testing {
namespace {

constexpr double kMB = 1024.0 * 1024.0;
constexpr double kGoalMB = 100;
constexpr int kRounds[] = {6, 8};
constexpr int kPerRound = 10;

double ResidentMB() {
  long pages = 0;
  long resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / kMB;
}

std::string ImageCleanupChain() {
  std::ifstream file(ZELPH_DEMO_APPS_DIR "/image_cleanup.json", std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Frame `n`: 2000 rows of 1952 to 2048 pixels of three channels.
GAnyData Frame(int n) {
  const int width = 2000 + ((n * 37) % 97) - 48;
  GAnyData value;
  value.set_url("frame");
  GMat* mat = value.mutable_mat();
  mat->set_depth(kDepth8U);
  mat->set_channels(3);
  mat->add_dims(width);
  mat->add_dims(2000);
  std::string* buffer = mat->mutable_buffer();
  buffer->resize(static_cast<size_t>(width) * 2000 * 3);
  for (size_t i = 0; i < buffer->size(); ++i) (*buffer)[i] = static_cast<char>(i * 13 + n);
  return value;
}

void Check(const grpc::Status& status, const char* call) {
  if (!status.ok()) throw std::runtime_error(std::string(call) + ": " + status.error_message());
}

// A project of the app in the session (a new one when empty); answers its URL.
std::string NewImageCleanupProject(ServiceHarness& harness, const std::string& session) {
  const std::string project = session.empty() ? harness.NewProject() : harness.NewProject(session);
  UploadProjectRequest upload;
  upload.set_url(project);
  upload.mutable_file()->set_data(ImageCleanupChain());
  Check(harness.Call(&Stub::UploadProject, upload), "UploadProject");
  return project;
}

// Feeds frame `n` to the project and evaluates it; waits for the previews of the run.
void Evaluate(ServiceHarness& harness, const std::string& project, int n) {
  SetDataRequest set;
  set.set_url(project + "/worker:grey/input:image");
  *set.mutable_data() = Frame(n);
  Check(harness.Call(&Stub::SetData, set), "SetData");
  ExecuteCommandRequest evaluate;
  evaluate.set_command(kEvaluate);
  evaluate.add_url(project);
  ExecuteCommandResponse response;
  Check(harness.Call(&Stub::ExecuteCommand, evaluate, &response), "ExecuteCommand");
  if (response.status() != kOk) throw std::runtime_error("the evaluation failed");
  ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(60));
}

// Runs `round` for each round and reports the resident memory after the first and the most
// it grew past that after a later one.
template <typename Round>
void MeasureRounds(benchmark::State& state, int rounds, Round&& round) {
  double first = 0;
  double growth = 0;
  try {
    for (auto _ : state) {
      for (int r = 0; r < rounds; ++r) {
        round(r);
        const double resident = ResidentMB();
        std::printf("  round %d: resident %.0f MB\n", r + 1, resident);
        if (r == 0) first = resident;
        growth = std::max(growth, resident - first);
      }
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  state.counters["first_round_MB"] = first;
  state.counters["growth_MB"] = growth;
  if (growth >= kGoalMB) state.SkipWithError("resident memory grew by 100 MB or more");
}

void BM_Frames(benchmark::State& state) {
  ServiceHarness harness;
  int frame = 0;
  std::string project;
  MeasureRounds(state, kRounds[0], [&](int) {
    if (project.empty()) project = NewImageCleanupProject(harness, "");
    for (int i = 0; i < kPerRound; ++i) Evaluate(harness, project, frame++);
  });
}
BENCHMARK(BM_Frames)->Name("JavaMemory/frames")->Iterations(1)->Unit(benchmark::kSecond);

void BM_Projects(benchmark::State& state) {
  ServiceHarness harness;
  int frame = 0;
  MeasureRounds(state, kRounds[1], [&](int) {
    RemoveRequest remove;
    for (int i = 0; i < kPerRound; ++i) {
      const std::string session = harness.NewSession();
      Evaluate(harness, NewImageCleanupProject(harness, session), frame++);
      remove.add_url(session);
    }
    RemoveResponse removed;
    Check(harness.Call(&Stub::Remove, remove, &removed), "Remove");
    ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(60));
  });
}
BENCHMARK(BM_Projects)->Name("JavaMemory/projects")->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace zelph::testing

int main(int argc, char** argv) {
  return zelph::bench::RunWithJavaPlugin(argc, argv, "bench-java-memory");
}
