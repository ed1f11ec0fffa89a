// output_broadcast_strategy.cpp
//
// The backwards search walks with an explicit stack, in the order a recursive search would
// take. Prepare refuses a loop, so the search always ends. A handed-out worker that is skipped
// (disabled, or of another stage) still counts as executed, so a pass cannot hand it out
// forever.
#include "zelph/chains/output_broadcast_strategy.h"

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "worker_lookup.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"

namespace {

std::string DescribeLink(const Link& link) {
  return fmt::format("{}[{}] -> {}[{}]", zelph::chains::ModelNameOf(*link.GetSrcWorker()),
                     zelph::QuoteClientText(link.GetSrcPort()->GetName()),
                     zelph::chains::ModelNameOf(*link.GetDstWorker()),
                     zelph::QuoteClientText(link.GetDestPort()->GetName()));
}

// The level only labels log lines; it wraps like the 32-bit number it is.
std::int32_t DeeperLevel(std::int32_t level) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(level) * 10u);
}

}  // namespace

OutputBroadcastStrategy::OutputBroadcastStrategy(const std::shared_ptr<IDataProcessChain>& chain)
    : ExecuteStrategy(chain, "output_broadcast", ExecutionStrategyType::kOutputBroadcast) {}

OutputBroadcastStrategy::~OutputBroadcastStrategy() = default;

bool OutputBroadcastStrategy::Prepare(const zelph::ExecutionStage& stage) {
  executed_.clear();
  auto chain = LockChain();
  workers_.clear();
  for (auto& worker : chain->GetWorkers()) {
    if (worker->GetExecutionStage() == stage && worker->IsEnabled()) {
      workers_.push_back(std::move(worker));
    }
  }
  incoming_.clear();
  outgoing_.clear();
  for (Link* link : chain->GetLinks()) {
    if (link->GetSrcPort() == nullptr || link->GetDestPort() == nullptr || !link->GetSrcWorker() ||
        !link->GetDstWorker() || !link->GetSrcWorker()->IsEnabled() ||
        !link->GetDstWorker()->IsEnabled()) {
      continue;
    }
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "LINK: {}", DescribeLink(*link));
    incoming_[link->GetDstWorker().get()].push_back(link);
    outgoing_[link->GetSrcWorker().get()].push_back(link);
  }
  LogLinkMap("--- INGOING ---", "INGOING", incoming_);
  LogLinkMap("--- OUTGOUNG ---", "OUTGOING", outgoing_);

  // An end point feeds no other worker of this stage's list; a worker that feeds only
  // workers of another stage still runs here.
  std::unordered_set<IDataProcess*> listed;
  for (const auto& worker : workers_) listed.insert(worker.get());
  end_points_.clear();
  for (const auto& worker : workers_) {
    bool feeds_listed = false;
    if (auto it = outgoing_.find(worker.get()); it != outgoing_.end()) {
      for (const Link* link : it->second) {
        if (listed.count(link->GetDstWorker().get()) != 0) feeds_listed = true;
      }
    }
    if (!feeds_listed) end_points_.push_back(worker);
  }
  LogEndPoints();

  if (HasLoop()) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "This chain has loops. Calculation refused.");
    return false;
  }
  return true;
}

bool OutputBroadcastStrategy::HasLoop() const {
  enum : int { kNotVisited = 0, kOnPath = 1, kFinished = 2 };
  std::unordered_map<IDataProcess*, int> state;
  for (const auto& [start, links] : outgoing_) {
    if (state[start] != kNotVisited) continue;
    // Frames: a worker on the path and the next of its outgoing links to follow.
    std::vector<std::pair<IDataProcess*, std::list<Link*>::const_iterator>> path;
    state[start] = kOnPath;
    path.emplace_back(start, links.begin());
    while (!path.empty()) {
      auto& [worker, next] = path.back();
      auto entry = outgoing_.find(worker);
      if (entry == outgoing_.end() || next == entry->second.end()) {
        state[worker] = kFinished;
        path.pop_back();
        continue;
      }
      IDataProcess* destination = (*next++)->GetDstWorker().get();
      int& mark = state[destination];
      if (mark == kOnPath) return true;
      if (mark == kNotVisited) {
        mark = kOnPath;
        auto destination_entry = outgoing_.find(destination);
        path.emplace_back(destination, destination_entry == outgoing_.end()
                                           ? std::list<Link*>::const_iterator()
                                           : destination_entry->second.begin());
      }
    }
  }
  return false;
}

std::shared_ptr<IDataProcess> OutputBroadcastStrategy::SearchFrom(
    const std::shared_ptr<IDataProcess>& end_point) {
  struct Frame {
    std::shared_ptr<IDataProcess> worker;
    std::int32_t level;
    int sweep;  // 1: sources the worker has no opinion about, then 2: sources it needs
    std::list<Link*>::const_iterator next;
    std::list<Link*>::const_iterator end;
  };
  std::vector<Frame> path;
  // Opens the search of one worker: gives the worker itself, or nothing, when it can be
  // decided at once; otherwise pushes a frame for its sweeps.
  auto open = [&](const std::shared_ptr<IDataProcess>& worker,
                  std::int32_t level) -> std::shared_ptr<IDataProcess> {
    if (executed_.count(worker) != 0) return nullptr;
    auto entry = incoming_.find(worker.get());
    if (entry == incoming_.end()) return worker;
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "{} Find depended worker: {}", level, worker->ToString());
    worker->ApplyProperties();
    path.push_back(Frame{worker, level, 1, entry->second.begin(), entry->second.end()});
    return nullptr;
  };

  if (auto found = open(end_point, 1)) return found;
  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next == frame.end) {
      if (frame.sweep == 1) {
        const auto& links = incoming_.find(frame.worker.get())->second;
        frame.sweep = 2;
        frame.next = links.begin();
        continue;
      }
      // None of the followed sources is still to run: the worker itself is next.
      return frame.worker;
    }
    Link* link = *frame.next++;
    const int wanted = frame.sweep == 1 ? -1 : 1;
    if (frame.worker->CheckInputNecessary(link->GetDestPort()) != wanted) continue;
    if (auto found = open(link->GetSrcWorker(), DeeperLevel(frame.level))) return found;
  }
  return nullptr;
}

std::shared_ptr<IDataProcess> OutputBroadcastStrategy::FindNext() {
  std::shared_ptr<IDataProcess> found;
  for (const auto& end_point : end_points_) {
    found = SearchFrom(end_point);
    if (found) break;
  }
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Next execute worker: {}",
            found ? found->ToString() : std::string("nullptr"));
  return found;
}

std::shared_ptr<IDataProcess> OutputBroadcastStrategy::Next() { return FindNext(); }

bool OutputBroadcastStrategy::IsEmpty() { return FindNext() == nullptr; }

void OutputBroadcastStrategy::ExecuteAndTransmit(std::shared_ptr<IDataProcess> worker,
                                                 zelph::ExecutionStage stage) {
  if (!worker->IsEnabled() || worker->GetExecutionStage() != stage) {
    executed_.insert(worker);
    return;
  }
  worker->Execute(stage);
  executed_.insert(worker);
  LogExecuted();
  if (worker->NeedToRepeat()) SetRepeat(true);
  auto entry = outgoing_.find(worker.get());
  if (entry == outgoing_.end()) return;
  for (const Link* link : entry->second) link->TransmitData();
}

void OutputBroadcastStrategy::Rebuild() {
  executed_.clear();
  SetRepeat(false);
}

void OutputBroadcastStrategy::LogLinkMap(const char* title, const char* label,
                                         const LinkMap& links) const {
  if (!zelph::chains::DebugDumpsEnabled()) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "{}", title);
  for (const auto& [worker, worker_links] : links) {
    for (const Link* link : worker_links) {
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "{} of {}: {}", label,
                zelph::chains::ModelNameOf(*worker), DescribeLink(*link));
    }
  }
}

void OutputBroadcastStrategy::LogEndPoints() const {
  if (!zelph::chains::DebugDumpsEnabled()) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "--- execution strategy header ---");
  for (const auto& worker : end_points_) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Header: {}", worker->ToString());
  }
}

void OutputBroadcastStrategy::LogExecuted() const {
  if (!zelph::chains::DebugDumpsEnabled()) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "--- executed ---");
  for (const auto& worker : executed_) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "EXECUTED: {}", worker->ToString());
  }
}
