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
  worker_uuids_.clear();
  uuid_of_.clear();
  if (workers_.empty()) return true;
  for (const auto& worker : workers_) {
    worker_uuids_.push_back(worker->GetUuid());
    uuid_of_.emplace(worker.get(), worker_uuids_.back());
    link_index_[worker_uuids_.back()];
  }
  links_ = chain->GetLinks();
  for (Link* link : links_) {
    const auto source = link->GetSrcWorker();
    const bool has_source = link->GetSrcPort() != nullptr && source;
    std::optional<boost::uuids::uuid> source_id;
    if (has_source) {
      source_id = UuidOf(*source);
      link_index_[*source_id].push_back({link, LinkEnd::kSource, std::nullopt});
    }
    if (link->GetDestPort() != nullptr && link->GetDstWorker()) {
      link_index_[UuidOf(*link->GetDstWorker())].push_back(
          {link, LinkEnd::kDestination, source_id});
    }
  }
  BuildExecutionList();
  return true;
}

boost::uuids::uuid BaseExecuteStrategy::UuidOf(const IDataProcess& worker) const {
  auto it = uuid_of_.find(&worker);
  return it != uuid_of_.end() ? it->second : worker.GetUuid();
}

bool BaseExecuteStrategy::IsReady(const boost::uuids::uuid& id, const UuidSet& placed) const {
  auto entry = link_index_.find(id);
  if (entry == link_index_.end()) return true;
  for (const LinkEntry& link_entry : entry->second) {
    // A link without a source end holds nothing back.
    if (link_entry.end != LinkEnd::kDestination || !link_entry.source) continue;
    if (placed.count(*link_entry.source) == 0) return false;
  }
  return true;
}

void BaseExecuteStrategy::BuildExecutionList() {
  execution_list_.clear();
  std::list<size_t> pending;
  for (size_t i = 0; i < workers_.size(); ++i) pending.push_back(i);
  UuidSet placed;
  bool placed_in_pass = true;
  while (placed_in_pass && !pending.empty()) {
    placed_in_pass = false;
    for (auto it = pending.begin(); it != pending.end();) {
      const auto& id = worker_uuids_[*it];
      if (IsReady(id, placed)) {
        execution_list_.push_back(workers_[*it]);
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
  auto entry = link_index_.find(UuidOf(*worker));
  if (entry == link_index_.end()) return;
  for (const LinkEntry& link_entry : entry->second) {
    if (link_entry.end == LinkEnd::kSource) link_entry.link->TransmitData();
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
  last_handed_out_ = UuidOf(*worker);
  return worker;
}

long long BaseExecuteStrategy::CurrentIndex() {
  for (size_t i = 0; i < worker_uuids_.size(); ++i) {
    if (worker_uuids_[i] == last_handed_out_) return static_cast<long long>(i);
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
