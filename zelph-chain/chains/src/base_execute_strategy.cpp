// base_execute_strategy.cpp
//
// The pass algorithm: each pass places, in list order, every pending worker whose sources are
// all placed. Each further pass needs at least one placement, so building ends after at most
// n passes; no cap on examinations is needed, and none may cut a long chain short.
#include "zelph/chains/base_execute_strategy.h"

#include <list>

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
  if (workers_.empty()) return true;
  links_ = chain->GetLinks();
  for (const auto& worker : workers_) link_index_[worker->GetUuid()];
  for (Link* link : links_) {
    if (link->GetSrcPort() != nullptr && link->GetSrcWorker()) {
      link_index_[link->GetSrcWorker()->GetUuid()].emplace_back(link, LinkEnd::kSource);
    }
    if (link->GetDestPort() != nullptr && link->GetDstWorker()) {
      link_index_[link->GetDstWorker()->GetUuid()].emplace_back(link, LinkEnd::kDestination);
    }
  }
  BuildExecutionList();
  return true;
}

bool BaseExecuteStrategy::IsReady(const boost::uuids::uuid& id,
                                  const std::set<boost::uuids::uuid>& placed) const {
  auto entry = link_index_.find(id);
  if (entry == link_index_.end()) return true;
  for (const auto& [link, end] : entry->second) {
    if (end != LinkEnd::kDestination) continue;
    if (link->GetSrcPort() == nullptr || !link->GetSrcWorker()) continue;
    if (placed.count(link->GetSrcWorker()->GetUuid()) == 0) return false;
  }
  return true;
}

void BaseExecuteStrategy::BuildExecutionList() {
  execution_list_.clear();
  std::list<std::shared_ptr<IDataProcess>> pending(workers_.begin(), workers_.end());
  std::set<boost::uuids::uuid> placed;
  bool placed_in_pass = true;
  while (placed_in_pass && !pending.empty()) {
    placed_in_pass = false;
    for (auto it = pending.begin(); it != pending.end();) {
      const auto id = (*it)->GetUuid();
      if (IsReady(id, placed)) {
        execution_list_.push_back(*it);
        placed.insert(id);
        it = pending.erase(it);
        placed_in_pass = true;
      } else {
        ++it;
      }
    }
  }
}

void BaseExecuteStrategy::ExecuteAndTransmit(std::shared_ptr<IDataProcess> worker,
                                             zelph::ExecutionStage stage) {
  worker->Execute(stage);
  if (worker->NeedToRepeat()) SetRepeat(true);
  auto entry = link_index_.find(worker->GetUuid());
  if (entry == link_index_.end()) return;
  for (const auto& [link, end] : entry->second) {
    if (end == LinkEnd::kSource) link->TransmitData();
  }
}

bool BaseExecuteStrategy::IsEmpty() { return execution_list_.empty(); }

std::shared_ptr<IDataProcess> BaseExecuteStrategy::Front() {
  return execution_list_.empty() ? nullptr : execution_list_.front();
}

std::shared_ptr<IDataProcess> BaseExecuteStrategy::Back() {
  return execution_list_.empty() ? nullptr : execution_list_.back();
}

std::shared_ptr<IDataProcess> BaseExecuteStrategy::Next() {
  if (execution_list_.empty()) return nullptr;
  auto worker = std::move(execution_list_.front());
  execution_list_.pop_front();
  last_handed_out_ = worker->GetUuid();
  return worker;
}

long long BaseExecuteStrategy::CurrentIndex() {
  for (size_t i = 0; i < workers_.size(); ++i) {
    if (workers_[i]->GetUuid() == last_handed_out_) return static_cast<long long>(i);
  }
  return -1;
}

void BaseExecuteStrategy::ReleaseList() {
  execution_list_.clear();
  link_index_.clear();
}

void BaseExecuteStrategy::Rebuild() {
  if (!IsRepeat()) return;
  SetRepeat(false);
  BuildExecutionList();
}
