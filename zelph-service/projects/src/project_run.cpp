// project_run.cpp
//
// Runs of a project on the calling thread: the whole chain, one worker alone, one step, and
// the preparation they share. The chain framework does the running; the project takes part
// through its flag listeners (project_listeners.cpp), which report into its cache,
// statistics and statuses on this thread.
#include <mutex>
#include <shared_mutex>

#include "project_listeners.h"
#include "run_slots.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port.h"
#include "zelph/model/property_keys.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/abandoned_call_watch.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/projects/statistic.h"

namespace zelph {

void Project::Execute() {
  const std::string refusal = fmt::format("Chain not ready to execute, {}", QuoteClientText(id_));
  ProjectStateGuard state(state_, ProjectState::kExecuting);
  if (!state.Entered()) throw EvaluateCancelled(refusal);
  const CallingThreadRun counted = CountRunOnThisThread(refusal);
  std::shared_lock hold(lock_);
  PrepareRun();
  plugins_->BeforeExecutingAll(plugin_session_key_);
  chain_->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
  plugins_->AfterExecutingAll(plugin_session_key_);
}

void Project::ExecuteWorker(const std::string& worker_id) {
  const std::shared_ptr<IDataProcess> worker = GetWorker(worker_id);
  const std::string refusal = fmt::format("Chain not ready to execute, {}", QuoteClientText(id_));
  ProjectStateGuard state(state_, ProjectState::kExecuting);
  if (!state.Entered()) throw EvaluateCancelled(refusal);
  const CallingThreadRun counted = CountRunOnThisThread(refusal);
  std::shared_lock hold(lock_);
  ResetStatistics(kStageInit);
  // A port without a cached entry is emptied: the worker sees only what the cache holds.
  for (Port* port : worker->FindPorts(PortType::input)) {
    port->SetData(GetCache("/cache:" + port->GetId()).data);
  }
  InstallWorkerFlagListener();
  worker->SetVisibleResultNecessary(ReadChainFlag(tmp::kCreateVisibleResult));
  worker->SetAllOutputsNecessary(ReadChainFlag(tmp::kAllOutputsNecessary));
  chain_->ExecuteWorker(worker_id);
}

void Project::ExecuteStep() {
  ProjectStateGuard state(state_, ProjectState::kExecuting);
  if (!state.Entered()) throw EvaluateCancelled("Chain not ready to evaluate");
  const CallingThreadRun counted = CountRunOnThisThread("Chain not ready to evaluate");
  std::shared_lock hold(lock_);
  ResetStatistics(kStageInit);
  InstallWorkerFlagListener();
  MarkWorkersQueued();
  chain_->Execute(ExecutionStage::kRunTime, ExecutionFlow::kStep);
}

Project::CallingThreadRun Project::CountRunOnThisThread(const std::string& refusal) {
  if (runs_interrupted_.load()) throw EvaluateCancelled(refusal);
  const BackgroundTasks::Task interrupt = ChainInterrupt();
  // The service's count first: a run past the cap is refused before it counts as activity.
  BackgroundTasks::CallingThreadRun service =
      ServiceBackgroundTasks().CountCallingThreadRun(interrupt);
  interrupt_request_.Clear();
  return CallingThreadRun{RunActivity::Begin(run_activity_), std::move(service),
                          ServiceAbandonedCallWatch().Watch(CurrentWaitLimit(), interrupt),
                          ServiceAbandonedCallWatch().Watch(&interrupt_request_, interrupt)};
}

void Project::SetRunActivity(std::shared_ptr<RunActivity> activity) {
  run_activity_ = std::move(activity);
}

BackgroundTasks::Task Project::ChainInterrupt() const {
  return [chain = std::weak_ptr<IDataProcessChain>(chain_)] {
    if (auto running = chain.lock()) running->Interrupt();
  };
}

void Project::InterruptRuns() {
  // The flag first: a run that begins after it is refused or stopped at its next worker, one
  // that resets the chain's interrupt flag as it begins included.
  runs_interrupted_.store(true);
  chain_->Interrupt();
}

void Project::InterruptRun() {
  interrupt_request_.Request();
  chain_->Interrupt();
}

void Project::PrepareRun() {
  ResetStatistics(kStageInit);
  InstallWorkerFlagListener();
  PassResultFlagsToWorkers();
  MarkWorkersQueued();
}

void Project::PassResultFlagsToWorkers() {
  const bool visible_result = ReadChainFlag(tmp::kCreateVisibleResult);
  const bool all_outputs = ReadChainFlag(tmp::kAllOutputsNecessary);
  ForEachWorker([&](std::shared_ptr<IDataProcess> worker) {
    worker->SetVisibleResultNecessary(visible_result);
    worker->SetAllOutputsNecessary(all_outputs);
  });
}

void Project::InstallWorkerFlagListener() {
  if (!worker_listener_) return;
  ForEachWorker([&](std::shared_ptr<IDataProcess> worker) {
    worker->SetFlagListener(worker_listener_.get());
  });
}

void Project::MarkWorkersQueued() {
  const std::int64_t now = ObjectStatusData::Now();  // one stamp: the workers queue at once
  ForEachWorker([&](std::shared_ptr<IDataProcess> worker) {
    // In place, time first, as SetObjectStatus does; a worker without an entry gets none.
    WorkerRunSlot& slot = RunSlotOf(worker);
    if (!slot.status) slot.status = object_statuses_.Find(worker->GetId()).value_or(nullptr);
    if (slot.status) {
      slot.status->time = now;
      slot.status->status = static_cast<int>(ObjectStatus::kQueue);
    }
  });
}

}  // namespace zelph
