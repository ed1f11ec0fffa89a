// reverse_graph_execute_strategy.h
//
// ReverseGraphExecuteStrategy ("rgraph", type 2): runs a chain on demand. It starts from the
// workers whose outputs go nowhere (the end points) and walks the links backwards, so that a
// worker runs after the workers that feed it, and a worker that can tell which of its inputs it
// needs ("special": CheckInputNecessary answers 0 or 1 for an input) is fed only through
// those. Disabled workers and their links take no part. A loop among the links is refused.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "zelph/chains/execute_strategy.h"

class Link;
namespace zelph {
class Port;
}
namespace zelph::chains {
class DepthFirstOrder;
class WorkerIndex;
}  // namespace zelph::chains

class ZELPH_CHAIN_API ReverseGraphExecuteStrategy : public ExecuteStrategy {
 public:
  explicit ReverseGraphExecuteStrategy(const std::shared_ptr<IDataProcessChain>& chain);
  ~ReverseGraphExecuteStrategy() override;

  bool Prepare(const zelph::ExecutionStage& stage) override;
  void ExecuteAndTransmit(std::shared_ptr<IDataProcess> worker,
                          zelph::ExecutionStage stage) override;
  bool IsEmpty() override;
  std::shared_ptr<IDataProcess> Front() override;
  std::shared_ptr<IDataProcess> Back() override;
  std::shared_ptr<IDataProcess> Next() override;
  long long CurrentIndex() override;
  void ReleaseList() override;
  void Rebuild() override;

 private:
  struct Edge {
    size_t source_index;
    zelph::Port* source_port;
    zelph::Port* destination_port;
    Link* link;  // used while the chain's links revision is the one of Prepare
    std::string link_id;
  };
  // One pending step of the backwards walk: a queued worker and the sources it still has to
  // queue, in order.
  struct QueueFrame {
    size_t index;
    bool children_final;
    bool queued_at_once;
    std::vector<size_t> children;
    std::vector<size_t> kept_aside;
    size_t next_child;
  };

  size_t IndexOf(const std::shared_ptr<IDataProcess>& worker) const;
  bool IsSpecial(size_t index);
  int InputNecessity(size_t index, const Edge& edge);
  void Queue(size_t index);
  void Expand(size_t index);
  void BeginQueueFrame(size_t index, std::vector<QueueFrame>& frames);
  void DrainQueueFrames(std::vector<QueueFrame>& frames);
  void DropTakenFromBack();
  std::shared_ptr<IDataProcess> GetNewWorker();
  bool QueueNextEndPoint();
  void LogWorkerStatus() const;
  void LogExecutionList() const;

  std::vector<std::shared_ptr<IDataProcess>> workers_;
  std::vector<std::string> ids_;
  // By destination position: the used links that end at that worker, in link order.
  std::vector<std::vector<Edge>> incoming_;
  // By source position: the incoming edges of other workers that start here, ordered by the
  // destination's position and then by link order.
  std::vector<std::vector<const Edge*>> outgoing_;
  std::vector<size_t> order_;
  std::unique_ptr<zelph::chains::DepthFirstOrder> search_;
  std::vector<int> status_;
  std::uint64_t links_revision_ = 0;
  std::deque<size_t> queue_;
  std::vector<char> taken_;
  std::vector<char> has_outgoing_;
  std::vector<char> expanded_;
  size_t cursor_ = 0;
  std::unique_ptr<zelph::chains::WorkerIndex> index_;
  // Position of the worker Next handed out last; spares the id lookup when it runs.
  size_t last_handed_out_ = static_cast<size_t>(-1);
};
