// project_statistics.cpp
//
// The project's side of statistics: finding and creating them, resetting them after a load
// and before a run, and completing a worker's statistic when it has finished.
#include "run_slots.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/projects/project.h"
#include "zelph/projects/statistic.h"

namespace zelph {

std::shared_ptr<Statistic> Project::FindStatistic(const std::string& object_id) const {
  return statistics_.Find(object_id).value_or(nullptr);
}

std::shared_ptr<Statistic> Project::GetOrCreateStatistic(const std::string& object_id,
                                                         const std::string& type) {
  if (std::shared_ptr<Statistic> found = FindStatistic(object_id)) return found;
  auto statistic = std::make_shared<Statistic>(object_id, type);
  statistics_.Set(object_id, statistic);
  return statistic;
}

void Project::ResetStatistics(int stage) {
  execution_order_.exchange(0);
  run_slots_->ClearUnless(lock_.ExclusiveHoldsEnded(), statistics_removed_.load());
  std::int64_t index = 0;
  ForEachWorker(
      [&](std::shared_ptr<IDataProcess> worker) { ResetWorkerStatistic(worker, stage, index); });
  GetOrCreateStatistic(chain_->GetId(), "chain")->Reset(stage, index);
}

void Project::ResetWorkerStatistic(const std::shared_ptr<IDataProcess>& worker, int stage,
                                   std::int64_t& index) {
  if (stage != kStageLoad &&
      worker->GetStructure().GetExecutionStage() != ExecutionStage::kRunTime) {
    return;
  }
  WorkerRunSlot& slot = RunSlotOf(worker);
  if (!slot.statistic) slot.statistic = GetOrCreateStatistic(worker->GetId(), "worker");
  slot.statistic->ResetFromWorker(*worker, stage, index++);
}

void Project::UpdateWorkerStatistic(std::chrono::steady_clock::time_point end, IDataProcess& worker,
                                    WorkerRunSlot& slot) {
  if (slot.statistic) slot.statistic->FinishFromWorker(worker, end, ++execution_order_);
}

WorkerRunSlot& Project::RunSlotOf(const std::shared_ptr<IDataProcess>& worker) {
  WorkerRunSlot& slot = run_slots_->SlotOf(worker);
  slot.FollowSystemName(worker->GetSystemName());
  // A worker without a statistic of its own (a loading-time worker between loads) may be
  // given one by a later load, which makes the slots anew.
  if (!slot.statistic) slot.statistic = FindStatistic(worker->GetId());
  return slot;
}

}  // namespace zelph
