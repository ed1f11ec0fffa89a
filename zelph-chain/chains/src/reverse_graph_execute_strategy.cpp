// reverse_graph_execute_strategy.cpp
//
// The backwards walk keeps a queue worked from its back: sources queued last run first, and an
// end point runs after everything it pulled in. Ordering search and queueing walk with explicit
// stacks, in the order a recursive walk would take, so long chains cannot exhaust the stack.
// After a worker runs, every link from it into each later worker transmits, in link order, so
// a worker fed twice by one source receives both inputs.
#include "zelph/chains/reverse_graph_execute_strategy.h"

#include <algorithm>
#include <ranges>
#include <utility>

#include "depth_first_order.h"
#include "worker_lookup.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"

namespace {}  // namespace

ReverseGraphExecuteStrategy::ReverseGraphExecuteStrategy(
    const std::shared_ptr<IDataProcessChain>& chain)
    : ExecuteStrategy(chain, "rgraph", ExecutionStrategyType::kRGraph),
      search_(std::make_unique<zelph::chains::DepthFirstOrder>()),
      index_(std::make_unique<zelph::chains::WorkerIndex>()) {}

ReverseGraphExecuteStrategy::~ReverseGraphExecuteStrategy() { ReleaseList(); }

bool ReverseGraphExecuteStrategy::Prepare(const zelph::ExecutionStage& /*stage*/) {
  ReleaseList();
  auto chain = LockChain();
  for (auto& worker : chain->GetWorkers()) {
    if (worker->IsEnabled()) workers_.push_back(std::move(worker));
  }
  if (workers_.empty()) return true;
  const size_t count = workers_.size();
  ids_.resize(count);
  for (size_t i = 0; i < count; ++i) ids_[i] = workers_[i]->GetId();
  index_->Assign(workers_);
  incoming_.assign(count, {});
  outgoing_.assign(count, {});
  taken_.assign(count, 0);
  has_outgoing_.assign(count, 0);
  expanded_.assign(count, 0);

  links_revision_ = chain->GetLinksRevision();
  for (Link* link : chain->GetLinks()) {
    if (link->GetSrcPort() == nullptr || link->GetDestPort() == nullptr || !link->GetSrcWorker() ||
        !link->GetDstWorker()) {
      continue;
    }
    // Links of disabled workers, or of workers outside the chain, are not used.
    const size_t source = index_->Find(*link->GetSrcWorker());
    const size_t destination = index_->Find(*link->GetDstWorker());
    if (source == zelph::chains::WorkerIndex::kNone ||
        destination == zelph::chains::WorkerIndex::kNone) {
      continue;
    }
    incoming_[destination].push_back(
        Edge{source, link->GetSrcPort(), link->GetDestPort(), link, link->GetId()});
    has_outgoing_[source] = 1;
  }
  for (size_t destination = 0; destination < count; ++destination) {
    for (const Edge& edge : incoming_[destination]) outgoing_[edge.source_index].push_back(&edge);
  }

  search_->Reset(count);
  status_.assign(count, 1);
  for (size_t i = 0; i < count; ++i) {
    const auto degree = [this](size_t index) { return incoming_[index].size(); };
    const auto source = [this](size_t index, size_t edge) {
      return incoming_[index][edge].source_index;
    };
    if (!search_->IsVisited(i) && !search_->Visit(i, degree, source, order_)) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "This chain has loops. Calculation refused.");
      return false;
    }
  }
  std::reverse(order_.begin(), order_.end());
  LogWorkerStatus();
  LogExecutionList();
  return true;
}

int ReverseGraphExecuteStrategy::InputNecessity(size_t index, const Edge& edge) {
  return workers_[index]->CheckInputNecessary(edge.destination_port);
}

bool ReverseGraphExecuteStrategy::IsSpecial(size_t index) {
  zelph::Timer timer("IsSpecial");
  bool special = false;
  for (const Edge& edge : incoming_[index]) {
    if (InputNecessity(index, edge) >= 0) {
      special = true;
      break;
    }
  }
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Worker:  '{}' is special: {}",
            zelph::chains::ModelNameOf(*workers_[index]), special);
  return special;
}

void ReverseGraphExecuteStrategy::BeginQueueFrame(size_t index, std::vector<QueueFrame>& frames) {
  queue_.push_back(index);
  const bool special = IsSpecial(index);
  if (!special) expanded_[index] = 1;
  QueueFrame frame{index, false, false, {}, {}, 0};
  for (const Edge& edge : incoming_[index]) {
    const bool at_once = edge.destination_port->GetType() == zelph::PortType::input_control ||
                         (special && InputNecessity(index, edge) == -1);
    (at_once ? frame.children : frame.kept_aside).push_back(edge.source_index);
  }
  frame.queued_at_once = !frame.children.empty();
  frames.push_back(std::move(frame));
}

void ReverseGraphExecuteStrategy::DrainQueueFrames(std::vector<QueueFrame>& frames) {
  while (!frames.empty()) {
    QueueFrame& frame = frames.back();
    if (frame.next_child < frame.children.size()) {
      const size_t child = frame.children[frame.next_child++];
      BeginQueueFrame(child, frames);
      continue;
    }
    if (frame.children_final) {
      frames.pop_back();
      continue;
    }
    // The sources queued at once have run their walk; now the rest, as the worker decides.
    frame.children_final = true;
    frame.next_child = 0;
    const size_t index = frame.index;
    if (!IsSpecial(index)) {
      frame.children = std::move(frame.kept_aside);
    } else if (!frame.queued_at_once) {
      frame.children.clear();
      expanded_[index] = 1;
      workers_[index]->ApplyProperties();
      for (const Edge& edge : incoming_[index]) {
        if (InputNecessity(index, edge) == 1) frame.children.push_back(edge.source_index);
      }
    } else {
      // Expanded later, when it reaches the back of the queue.
      frame.children.clear();
    }
  }
}

void ReverseGraphExecuteStrategy::Queue(size_t index) {
  std::vector<QueueFrame> frames;
  BeginQueueFrame(index, frames);
  DrainQueueFrames(frames);
}

void ReverseGraphExecuteStrategy::Expand(size_t index) {
  expanded_[index] = 1;
  workers_[index]->ApplyProperties();
  QueueFrame frame{index, true, false, {}, {}, 0};
  for (const Edge& edge : incoming_[index]) {
    if (InputNecessity(index, edge) == 1) frame.children.push_back(edge.source_index);
  }
  std::vector<QueueFrame> frames;
  frames.push_back(std::move(frame));
  DrainQueueFrames(frames);
}

void ReverseGraphExecuteStrategy::DropTakenFromBack() {
  while (!queue_.empty() && taken_[queue_.back()]) queue_.pop_back();
}

std::shared_ptr<IDataProcess> ReverseGraphExecuteStrategy::GetNewWorker() {
  zelph::Timer timer("GetNewWorker");
  DropTakenFromBack();
  while (!queue_.empty() && !expanded_[queue_.back()] && IsSpecial(queue_.back())) {
    Expand(queue_.back());
    DropTakenFromBack();
  }
  if (queue_.empty()) return nullptr;
  const size_t index = queue_.back();
  taken_[index] = 1;
  queue_.pop_back();
  last_handed_out_ = index;
  return workers_[index];
}

size_t ReverseGraphExecuteStrategy::IndexOf(const std::shared_ptr<IDataProcess>& worker) const {
  if (last_handed_out_ < workers_.size() && workers_[last_handed_out_] == worker) {
    return last_handed_out_;
  }
  return index_->Find(worker->GetId());
}

bool ReverseGraphExecuteStrategy::QueueNextEndPoint() {
  zelph::Timer timer("MoveCurrentIndexToHead");
  for (; cursor_ < order_.size(); ++cursor_) {
    const size_t index = order_[cursor_];
    if (!expanded_[index] && !has_outgoing_[index]) {
      Queue(index);
      return true;
    }
  }
  return false;
}

std::shared_ptr<IDataProcess> ReverseGraphExecuteStrategy::Next() {
  zelph::Timer timer("NextGuy");
  if (IsEmpty()) return nullptr;
  // A walk always ends with its end point taken, so an exhausted queue only means that the
  // next end point is due.
  std::shared_ptr<IDataProcess> worker;
  while (!worker) {
    if (queue_.empty() && !QueueNextEndPoint()) return nullptr;
    worker = GetNewWorker();
  }
  LogExecutionList();
  return worker;
}

bool ReverseGraphExecuteStrategy::IsEmpty() {
  zelph::Timer timer("NothingToExec");
  // Every status is set to 1 when the list is built and never changes afterwards.
  return order_.empty() || cursor_ >= order_.size() || status_.empty();
}

void ReverseGraphExecuteStrategy::ExecuteAndTransmit(std::shared_ptr<IDataProcess> worker,
                                                     zelph::ExecutionStage stage) {
  if (!worker->IsEnabled() || worker->GetExecutionStage() != stage) return;
  worker->Execute(stage);
  if (worker->NeedToRepeat()) SetRepeat(true);
  auto chain = LockChain();
  const size_t index = IndexOf(worker);
  if (zelph::chains::DebugDumpsEnabled()) {
    for (size_t i = 0; i < workers_.size(); ++i) {
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Worker id: {} [{}] has links: {}",
                zelph::chains::ModelNameOf(*workers_[i]), zelph::QuoteClientText(ids_[i]),
                incoming_[i].size());
    }
  }
  if (index != zelph::chains::WorkerIndex::kNone) {
    // As in the graph strategy: links are looked up by id only after links changed.
    const bool links_unchanged = chain->GetLinksRevision() == links_revision_;
    for (const Edge* edge : outgoing_[index]) {
      Link* link = links_unchanged ? edge->link : chain->FindLink(edge->link_id);
      if (link != nullptr) link->TransmitDataIfNecessary();
    }
  }
  LogWorkerStatus();
}

std::shared_ptr<IDataProcess> ReverseGraphExecuteStrategy::Front() {
  return zelph::chains::FirstMarked(order_, status_, workers_);
}

std::shared_ptr<IDataProcess> ReverseGraphExecuteStrategy::Back() {
  return zelph::chains::FirstMarked(std::views::reverse(order_), status_, workers_);
}

long long ReverseGraphExecuteStrategy::CurrentIndex() {
  if (cursor_ >= order_.size()) return -1;
  return static_cast<long long>(order_[cursor_]);
}

void ReverseGraphExecuteStrategy::ReleaseList() {
  queue_.clear();
  workers_.clear();
  ids_.clear();
  incoming_.clear();
  outgoing_.clear();
  order_.clear();
  search_->Clear();
  status_.clear();
  taken_.clear();
  has_outgoing_.clear();
  expanded_.clear();
  index_->Clear();
  cursor_ = 0;
  last_handed_out_ = zelph::chains::WorkerIndex::kNone;
}

void ReverseGraphExecuteStrategy::Rebuild() {
  if (!IsRepeat()) return;
  SetRepeat(false);
  cursor_ = 0;
  std::fill(expanded_.begin(), expanded_.end(), 0);
  std::fill(taken_.begin(), taken_.end(), 0);
}

void ReverseGraphExecuteStrategy::LogWorkerStatus() const {
  if (!zelph::chains::DebugDumpsEnabled()) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "--- Worker status--- ");
  for (size_t i = 0; i < workers_.size(); ++i) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Worker: {} status: {}",
              zelph::chains::ModelNameOf(*workers_[i]), status_[i]);
  }
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "--------------");
}

void ReverseGraphExecuteStrategy::LogExecutionList() const {
  if (!zelph::chains::DebugDumpsEnabled()) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "--- Execution list ---");
  for (size_t i = 0; i < order_.size(); ++i) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Worker[{}]: {}", i,
              zelph::chains::ModelNameOf(*workers_[order_[i]]));
  }
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "--------------");
}
