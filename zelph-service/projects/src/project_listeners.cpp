// project_listeners.cpp
//
// What a project does around each run of its chain and each execution of a worker, in the
// order clients rely on: statistics and statuses first and last, cached input pushed into a
// starting worker, and its ports cached, its preview started and its statistic completed
// once it has finished, all before the chain transmits its outputs along the links.
#include "project_listeners.h"

#include "run_slots.h"

#include "zelph/logger/timer.h"
#include "zelph/projects/project.h"
#include "zelph/projects/statistic.h"

namespace zelph {

void ProjectOnChangeChainFlag::OnChangeFlag(std::shared_ptr<IDataProcessChain> chain, int, int) {
  if (chain->IsFlag(chain::Flag::kExecuting)) {
    project_.OnChainStarted(*chain);
  } else {
    project_.OnChainFinished(*chain);
  }
}

void ProjectOnChangeWorkerFlag::OnChangeFlag(std::shared_ptr<IDataProcess> worker, int, int) {
  if (worker->IsFlag(worker::Flag::kExecuting)) {
    project_.OnWorkerStarted(worker);
  } else {
    project_.OnWorkerFinished(worker);
  }
}

void Project::OnChainStarted(IDataProcessChain& chain) {
  const auto now = Statistic::Clock::now();
  const std::string chain_id = chain.GetId();
  // Not rendered: the chain's document says "init" until the chain has finished.
  if (auto statistic = FindStatistic(chain_id)) statistic->BeginExecution(now);
  SetObjectStatus(chain_id, static_cast<int>(ObjectStatus::kExecuting));
}

void Project::OnChainFinished(IDataProcessChain& chain) {
  const auto end = Statistic::Clock::now();
  const std::string chain_id = chain.GetId();
  if (auto statistic = FindStatistic(chain_id)) statistic->EndExecution(end, ++execution_order_);
  SetObjectStatus(chain_id, static_cast<int>(ObjectStatus::kReady));
}

void Project::OnWorkerStarted(const std::shared_ptr<IDataProcess>& worker) {
  const auto now = Statistic::Clock::now();
  WorkerRunSlot& slot = RunSlotOf(worker);
  if (slot.statistic) slot.statistic->BeginWorkerExecution(now);
  PushInputData(*worker, slot);
  SetWorkerStatus(*worker, slot, static_cast<int>(ObjectStatus::kExecuting), now);
}

void Project::OnWorkerFinished(const std::shared_ptr<IDataProcess>& worker) {
  // Before anything else, so that the duration is the worker's own.
  const auto end = Statistic::Clock::now();
  // An interrupt of a removed project may have come before its run began, and the chain
  // clears its flag as a run begins: the chain stops after this worker.
  if (runs_interrupted_.load()) chain_->Interrupt();
  WorkerRunSlot& slot = RunSlotOf(worker);
  CacheWorkerPorts(slot);
  {
    Timer timer("PullOutputData");
    if (worker->GetStructure().GetOptionalFlag(kOutputModel)) {
      CacheSystemOutput(*worker, *slot.system_name);
    }
    CacheWorkerOutputs(slot);
  }
  UpdateWorkerPreview(worker);
  UpdateWorkerStatistic(end, *worker, slot);
  StoreVisibleResultMetaInformation(*worker);
  SetWorkerStatus(*worker, slot, static_cast<int>(ObjectStatus::kReady), end);
}

}  // namespace zelph
