// project_async_run.cpp
//
// The asynchronous run: prepared on the caller's thread, executed on a counted thread of its
// own. The caller's shared hold of the project lock and its busy state travel with the run
// to that thread, so no structural edit slips in between preparation and execution or
// changes the chain while it runs; both end when the run ends.
#include <mutex>
#include <shared_mutex>
#include <utility>

#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/abandoned_call_watch.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"

namespace zelph {
namespace {

// What the run thread owns. Members go in reverse order: the state word back to ready and
// the lock released while the project still exists, then the run's count in its session's
// activity, then the watch of the client's interrupt (whose request the project holds), then
// the chain, then the project, so that the last owner of a removed project destroys its chain
// through it.
struct ExecutionPackage {
  std::shared_ptr<Project> project;
  std::shared_ptr<IDataProcessChain> chain;
  AbandonedCallWatch::Hold interrupted;
  RunActivity::Hold activity;
  std::shared_lock<RwLock> hold;
  ProjectStateGuard state;
};

void ProjectExecutionThread(ExecutionPackage& package, SimplePluginsManager& plugins) {
  try {
    const std::string session = package.chain->GetSessionId();
    plugins.BeforeExecutingAll(session);
    package.chain->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
    plugins.AfterExecutingAll(session);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Asynchronous run of project {} failed: {}",
              QuoteClientText(package.project->GetId()), e.what());
  } catch (...) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Asynchronous run of project {} failed with an unknown exception",
              QuoteClientText(package.project->GetId()));
  }
}

}  // namespace

void Project::ExecuteAsync() {
  ProjectStateGuard state(state_, ProjectState::kExecuting);
  if (!state.Entered() || runs_interrupted_.load()) {
    throw EvaluateCancelled(fmt::format("Chain not ready to execute, {}", QuoteClientText(id_)));
  }
  // Before the preparation: a run past the cap of runs in progress leaves the project as it was.
  BackgroundTasks::RunPlace place = ServiceBackgroundTasks().TakeRunPlace();
  std::shared_lock hold(lock_);
  PrepareRun();
  const BackgroundTasks::Task interrupt = ChainInterrupt();
  interrupt_request_.Clear();
  // std::function copies what it holds, so the package that owns the hold and the state
  // travels by shared pointer; only the run thread keeps it.
  auto package = std::make_shared<ExecutionPackage>(ExecutionPackage{
      shared_from_this(), chain_, ServiceAbandonedCallWatch().Watch(&interrupt_request_, interrupt),
      RunActivity::Begin(run_activity_), std::move(hold), std::move(state)});
  SimplePluginsManager* plugins = plugins_;
  const bool started = ServiceBackgroundTasks().StartRun(
      std::move(place),
      [package = std::move(package), plugins]() mutable {
        ProjectExecutionThread(*package, *plugins);
        // Released here, on the run thread, before the run stops counting.
        package.reset();
      },
      interrupt);
  if (!started) {
    throw EvaluateCancelled(
        fmt::format("Service is shutting down, run refused: {}", QuoteClientText(id_)));
  }
}

}  // namespace zelph
