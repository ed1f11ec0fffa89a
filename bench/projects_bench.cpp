// The service's core objects on their hot paths: a request reaching its project and one
// cache entry through the store (one session shared by every thread against a session per
// thread), an upload of a 200-worker chain, and a rebuild of a catalogue of 1,000 apps.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"
#include "zelph/projects/solution_provider.h"
#include "zelph/projects/store.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace {

constexpr int kSessions = 16;

std::string SessionId(int index) { return fmt::format("session-{}", index); }

// Sessions with one project each, whose cache holds one entry.
zelph::Store& FilledStore() {
  static zelph::Store* const store = [] {
    zelph::testing::LoadServiceTestPlugin();
    auto* filled = new zelph::Store();
    for (int s = 0; s < kSessions; ++s) {
      filled->CreateSession(SessionId(s));
      filled->GetSession(SessionId(s))->CreateProject("project");
      filled->GetProject(SessionId(s), "project")
          ->SetCache("/input:source", std::make_shared<PortDataScalar>(std::string("value")));
    }
    return filled;
  }();
  return *store;
}

void GetProjectAndCache(benchmark::State& state, bool session_per_thread) {
  zelph::Store& store = FilledStore();
  const std::string session = SessionId(session_per_thread ? state.thread_index() % kSessions : 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(store.GetProject(session, "project")->GetCache("/input:source"));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_GetProjectAndCacheOneSession(benchmark::State& state) { GetProjectAndCache(state, false); }
BENCHMARK(BM_GetProjectAndCacheOneSession)->Threads(1)->Threads(4)->Threads(16)->UseRealTime();

void BM_GetProjectAndCacheSessionPerThread(benchmark::State& state) {
  GetProjectAndCache(state, true);
}
BENCHMARK(BM_GetProjectAndCacheSessionPerThread)
    ->Threads(1)
    ->Threads(4)
    ->Threads(16)
    ->UseRealTime();

void BM_UploadChain(benchmark::State& state) {
  zelph::testing::LoadServiceTestPlugin();
  const std::string chain = zelph::testing::ScaleLineChainText(static_cast<int>(state.range(0)));
  auto project = zelph::Project::Create("bench");
  for (auto _ : state) project->UploadProject(chain, "/bench/chain.json");
  state.counters["bytes"] = static_cast<double>(chain.size());
}
BENCHMARK(BM_UploadChain)->Arg(200)->Unit(benchmark::kMillisecond);

// App files the size of a small solution (the fixture's demo app).
class AppFolder {
 public:
  explicit AppFolder(int apps)
      : root_(std::filesystem::temp_directory_path() /
              fmt::format("projects-bench-{}", ::getpid())) {
    std::filesystem::create_directories(root_ / "apps");
    std::filesystem::create_directories(root_ / "templates");
    const std::string demo = zelph::testing::ChainText("line.json");
    for (int i = 0; i < apps; ++i) {
      std::string app = demo;
      const std::string id = fmt::format("5a110000-0000-4000-8000-{:012x}", i);
      app.replace(app.find(zelph::testing::kLineChainId), id.size(), id);
      std::ofstream(root_ / "apps" / fmt::format("app{}.json", i)) << app;
    }
  }
  ~AppFolder() { std::filesystem::remove_all(root_); }

  std::string Apps() const { return (root_ / "apps").string(); }
  std::string Templates() const { return (root_ / "templates").string(); }

 private:
  std::filesystem::path root_;
};

void BM_ScanCatalogue(benchmark::State& state) {
  AppFolder folder(static_cast<int>(state.range(0)));
  SolutionProvider catalogue;
  for (auto _ : state) {
    catalogue.Scan(folder.Apps(), folder.Templates());
    benchmark::DoNotOptimize(catalogue.GetApps());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScanCatalogue)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
