// base_execute_strategy.cpp
//
// The pass algorithm: each pass places, in list order, every pending worker whose sources are
// all placed. Each further pass needs at least one placement, so building ends after at most
// n passes; no cap on examinations is needed, and none may cut a long chain short.
#include "zelph/chains/base_execute_strategy.h"

#include <numeric>

#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"

BaseExecuteStrategy::BaseExecuteStrategy(const std::shared_ptr<IDataProcessChain>& chain)
    : ExecuteStrategy(chain, "base", ExecutionStrategyType::kBase) {}

BaseExecuteStrategy::~BaseExecuteStrategy() { ReleaseList(); }

bool BaseExecuteStrategy::Prepare(const zelph::ExecutionStage& /*stage*/) {
  ReleaseList();
  auto chain = LockChain();
  workers_ = chain->GetWorkers();
  worker_uuids_.clear();
  slot_of_position_.clear();
  slot_of_uuid_.clear();
  slot_of_worker_.clear();
  if (workers_.empty()) return true;
  slot_of_uuid_.reserve(workers_.size());
  slot_of_worker_.reserve(workers_.size());
  for (const auto& worker : workers_) {
    worker_uuids_.push_back(worker->GetUuid());
    slot_of_position_.push_back(SlotOfUuid(worker_uuids_.back()));
    slot_of_worker_.emplace(worker.get(), slot_of_position_.back());
  }
  for (Link* link : chain->GetLinks()) {
    const auto source = link->GetSrcWorker();
    const size_t source_slot = link->GetSrcPort() != nullptr && source ? SlotOf(*source) : kNoSlot;
    if (source_slot != kNoSlot) outgoing_[source_slot].push_back(link);
    // A link without a source end holds nothing back.
    const auto destination = link->GetDstWorker();
    if (source_slot != kNoSlot && link->GetDestPort() != nullptr && destination) {
      const size_t destination_slot = SlotOf(*destination);
      sources_[destination_slot].push_back(source_slot);
    }
  }
  BuildExecutionList();
  return true;
}

size_t BaseExecuteStrategy::SlotOfUuid(const boost::uuids::uuid& id) {
  const size_t slot = slot_of_uuid_.try_emplace(id, slot_of_uuid_.size()).first->second;
  if (slot >= outgoing_.size()) {
    outgoing_.resize(slot + 1);
    sources_.resize(slot + 1);
  }
  return slot;
}

size_t BaseExecuteStrategy::SlotOf(const IDataProcess& worker) {
  auto it = slot_of_worker_.find(&worker);
  return it != slot_of_worker_.end() ? it->second : SlotOfUuid(worker.GetUuid());
}

size_t BaseExecuteStrategy::FindSlot(const IDataProcess& worker) const {
  if (last_position_ < workers_.size() && workers_[last_position_].get() == &worker) {
    return slot_of_position_[last_position_];
  }
  if (auto it = slot_of_worker_.find(&worker); it != slot_of_worker_.end()) return it->second;
  auto it = slot_of_uuid_.find(worker.GetUuid());
  return it != slot_of_uuid_.end() ? it->second : kNoSlot;
}

bool BaseExecuteStrategy::IsReady(size_t slot, const std::vector<char>& placed) const {
  for (size_t source : sources_[slot]) {
    if (placed[source] == 0) return false;
  }
  return true;
}

void BaseExecuteStrategy::BuildExecutionList() {
  execution_list_.clear();
  std::vector<size_t> pending(workers_.size());
  std::iota(pending.begin(), pending.end(), size_t{0});
  std::vector<char> placed(slot_of_uuid_.size(), 0);
  bool placed_in_pass = true;
  while (placed_in_pass && !pending.empty()) {
    placed_in_pass = false;
    // Workers still waiting move to the front, in their order, for the next pass.
    size_t waiting = 0;
    for (size_t position : pending) {
      const size_t slot = slot_of_position_[position];
      if (IsReady(slot, placed)) {
        execution_list_.push_back(position);
        placed[slot] = 1;
        placed_in_pass = true;
      } else {
        pending[waiting++] = position;
      }
    }
    pending.resize(waiting);
  }
}

void BaseExecuteStrategy::ExecuteAndTransmit(std::shared_ptr<IDataProcess> worker,
                                             zelph::ExecutionStage stage) {
  worker->Execute(stage);
  if (worker->NeedToRepeat()) SetRepeat(true);
  const size_t slot = FindSlot(*worker);
  if (slot == kNoSlot) return;
  for (Link* link : outgoing_[slot]) link->TransmitData();
}

bool BaseExecuteStrategy::IsEmpty() { return execution_list_.empty(); }

std::shared_ptr<IDataProcess> BaseExecuteStrategy::Front() {
  return execution_list_.empty() ? nullptr : workers_[execution_list_.front()];
}

std::shared_ptr<IDataProcess> BaseExecuteStrategy::Back() {
  return execution_list_.empty() ? nullptr : workers_[execution_list_.back()];
}

std::shared_ptr<IDataProcess> BaseExecuteStrategy::Next() {
  if (execution_list_.empty()) return nullptr;
  last_position_ = execution_list_.front();
  execution_list_.pop_front();
  last_handed_out_ = worker_uuids_[last_position_];
  return workers_[last_position_];
}

long long BaseExecuteStrategy::CurrentIndex() {
  for (size_t i = 0; i < worker_uuids_.size(); ++i) {
    if (worker_uuids_[i] == last_handed_out_) return static_cast<long long>(i);
  }
  return -1;
}

void BaseExecuteStrategy::ReleaseList() {
  execution_list_.clear();
  for (auto& links : outgoing_) links.clear();
  for (auto& sources : sources_) sources.clear();
  last_position_ = kNoSlot;
}

void BaseExecuteStrategy::Rebuild() {
  if (!IsRepeat()) return;
  SetRepeat(false);
  BuildExecutionList();
}
