// graph_execute_strategy.cpp
//
// The depth-first search and the switch-off propagation walk with explicit stacks in the
// order a recursive walk would take, so long chains cannot exhaust the thread's stack. An edge
// to a worker that is not in the chain takes no part in ordering or propagation.
#include "zelph/chains/graph_execute_strategy.h"

#include <algorithm>
#include <ranges>
#include <utility>

#include "depth_first_order.h"
#include "worker_lookup.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

}  // namespace

GraphExecuteStrategy::GraphExecuteStrategy(const std::shared_ptr<IDataProcessChain>& chain)
    : ExecuteStrategy(chain, "graph", ExecutionStrategyType::kGraph),
      kept_models_{"2dd41c4a-bf87-4ec3-ba6a-50bf2793d394", "05e8e4f6-9924-4c6a-9432-acde27fed1a7",
                   "dabb5f15-ddfc-4a10-93a5-f2dbcf64498b"},
      redirecting_models_{"00cd1ae9-7ea3-4704-b881-d0bd466875f4",
                          "8bb38ad0-760d-446b-a6ec-885b33f8109a",
                          "88faeda1-0de2-4717-901e-816921f91c3b"},
      search_(std::make_unique<zelph::chains::DepthFirstOrder>()),
      index_(std::make_unique<zelph::chains::WorkerIndex>()) {}

GraphExecuteStrategy::~GraphExecuteStrategy() { ReleaseList(); }

bool GraphExecuteStrategy::Prepare(const zelph::ExecutionStage& stage) {
  ReleaseList();
  auto chain = LockChain();
  workers_ = chain->GetWorkers();
  const size_t count = workers_.size();
  active_.assign(count, 1);
  in_degree_.assign(count, 0);
  edges_.assign(count, {});
  for (const auto& worker : workers_) worker->SetResetFlag(true);
  index_->Assign(workers_);

  links_revision_ = chain->GetLinksRevision();
  for (Link* link : chain->GetLinks()) {
    if (link->GetSrcPort() == nullptr || link->GetDestPort() == nullptr || !link->GetSrcWorker() ||
        !link->GetDstWorker()) {
      continue;
    }
    const size_t source = index_->Find(*link->GetSrcWorker());
    const size_t destination = index_->Find(*link->GetDstWorker());
    if (source == zelph::chains::WorkerIndex::kNone) continue;
    edges_[source].push_back(Edge{link->GetDstWorker(), destination, link->GetSrcPort(),
                                  link->GetDestPort(), link, link->GetId()});
    if (destination != zelph::chains::WorkerIndex::kNone &&
        link->GetDestPort()->GetType() != zelph::PortType::input_control) {
      ++in_degree_[destination];
    }
  }

  search_->Reset(count);
  active_count_ = count;
  for (size_t i = 0; i < count; ++i) {
    const auto degree = [this](size_t index) { return edges_[index].size(); };
    const auto destination = [this](size_t index, size_t edge) {
      return edges_[index][edge].destination_index;
    };
    if (!search_->IsVisited(i) && !search_->Visit(i, degree, destination, order_)) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "This chain has loops. Calculation refused.");
      return false;
    }
  }
  std::reverse(order_.begin(), order_.end());

  for (size_t index : order_) {
    const auto& worker = workers_[index];
    const bool runs = worker->GetExecutionStage() == stage && worker->IsEnabled();
    if (!runs && active_[index] == 1) Deactivate(index);
  }
  return true;
}

void GraphExecuteStrategy::Deactivate(size_t start) {
  std::vector<std::pair<size_t, size_t>> stack;
  active_[start] = 0;
  --active_count_;
  stack.emplace_back(start, 0);
  while (!stack.empty()) {
    auto& [index, next_edge] = stack.back();
    const auto& edges = edges_[index];
    if (next_edge == edges.size()) {
      stack.pop_back();
      continue;
    }
    const Edge& edge = edges[next_edge++];
    const size_t destination = edge.destination_index;
    if (destination == zelph::chains::WorkerIndex::kNone) continue;
    // Control inputs never counted towards the in-degree, so they do not lower it either.
    if (edge.destination_port->GetType() == zelph::PortType::input_control) continue;
    const int before = in_degree_[destination]--;
    if (active_[destination] == 1 && before == 1 && !IsKept(*workers_[destination])) {
      active_[destination] = 0;
      --active_count_;
      stack.emplace_back(destination, 0);
    }
  }
}

bool GraphExecuteStrategy::IsKept(const IDataProcess& worker) const {
  return Contains(kept_models_, zelph::chains::ModelIdOf(worker));
}

bool GraphExecuteStrategy::IsRedirecting(const IDataProcess& worker) const {
  return Contains(redirecting_models_, zelph::chains::ModelIdOf(worker));
}

void GraphExecuteStrategy::DeactivateUnchosenBranches(size_t index) {
  const auto& worker = workers_[index];
  const long long choice = worker->GetPropertyInt64("redirector", 0);
  const auto outputs = worker->FindPorts(zelph::PortType::output);
  if (choice < 1 || choice > static_cast<long long>(outputs.size())) return;
  const std::string chosen_id = outputs[static_cast<size_t>(choice - 1)]->GetId();
  for (const Edge& edge : edges_[index]) {
    if (edge.source_port->GetId() == chosen_id) continue;
    if (edge.destination_index == zelph::chains::WorkerIndex::kNone) continue;
    if (IsKept(*edge.destination)) continue;
    Deactivate(edge.destination_index);
  }
}

std::shared_ptr<IDataProcess> GraphExecuteStrategy::Next() {
  if (IsEmpty()) return nullptr;
  while (position_ < order_.size() && active_[order_[position_]] == 0) ++position_;
  if (IsEmpty()) return nullptr;
  const size_t index = order_[position_];
  if (IsRedirecting(*workers_[index])) DeactivateUnchosenBranches(index);
  ++position_;
  last_handed_out_ = index;
  return workers_[index];
}

size_t GraphExecuteStrategy::IndexOf(const std::shared_ptr<IDataProcess>& worker) const {
  if (last_handed_out_ < workers_.size() && workers_[last_handed_out_] == worker) {
    return last_handed_out_;
  }
  return index_->Find(worker->GetId());
}

bool GraphExecuteStrategy::IsEmpty() {
  return position_ >= workers_.size() || order_.empty() || active_count_ == 0;
}

void GraphExecuteStrategy::ExecuteAndTransmit(std::shared_ptr<IDataProcess> worker,
                                              zelph::ExecutionStage stage) {
  if (!worker->IsEnabled() || worker->GetExecutionStage() != stage) return;
  worker->Execute(stage);
  if (worker->NeedToRepeat()) SetRepeat(true);
  auto chain = LockChain();
  const size_t index = IndexOf(worker);
  if (index == zelph::chains::WorkerIndex::kNone) return;
  // Looking every link up by id costs a hash of its id text per edge; only needed when links
  // were added or removed since Prepare, and then a removed link is skipped.
  const bool links_unchanged = chain->GetLinksRevision() == links_revision_;
  for (const Edge& edge : edges_[index]) {
    Link* link = links_unchanged ? edge.link : chain->FindLink(edge.link_id);
    if (link != nullptr) link->TransmitData();
  }
}

std::shared_ptr<IDataProcess> GraphExecuteStrategy::Front() {
  return zelph::chains::FirstMarked(order_, active_, workers_);
}

std::shared_ptr<IDataProcess> GraphExecuteStrategy::Back() {
  return zelph::chains::FirstMarked(std::views::reverse(order_), active_, workers_);
}

long long GraphExecuteStrategy::CurrentIndex() {
  if (order_.empty() || position_ >= order_.size()) return -1;
  return static_cast<long long>(order_[position_]);
}

void GraphExecuteStrategy::ReleaseList() {
  active_.clear();
  active_count_ = 0;
  order_.clear();
  edges_.clear();
  in_degree_.clear();
  index_->Clear();
  position_ = 0;
  last_handed_out_ = zelph::chains::WorkerIndex::kNone;
}

void GraphExecuteStrategy::Rebuild() {
  if (!IsRepeat()) return;
  SetRepeat(false);
  position_ = 0;
}
