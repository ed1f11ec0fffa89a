// graph_execute_strategy.h
//
// GraphExecuteStrategy ("graph", type 1): treats the chain as a directed graph, orders it
// topologically by a depth-first search and refuses a chain whose links form a loop. Only
// enabled workers of the requested stage run; the successors that depend on a worker that
// does not run alone are switched off with it, and a redirecting worker switches off the
// branches of the output ports it did not choose. Workers of the kept models are never
// switched off by propagation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
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

class ZELPH_CHAIN_API GraphExecuteStrategy : public ExecuteStrategy {
 public:
  explicit GraphExecuteStrategy(const std::shared_ptr<IDataProcessChain>& chain);
  ~GraphExecuteStrategy() override;

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

  // Model ids whose workers pick one output branch by their "redirector" property.
  const std::vector<std::string>& RedirectingModels() const { return redirecting_models_; }
  // Model ids that propagation never switches off.
  const std::vector<std::string>& KeptModels() const { return kept_models_; }

 private:
  struct Edge {
    std::shared_ptr<IDataProcess> destination;
    size_t destination_index;  // position in workers_; the edge is skipped when outside it
    zelph::Port* source_port;
    zelph::Port* destination_port;
    Link* link;  // used while the chain's links revision is the one of Prepare
    std::string link_id;
  };

  void Deactivate(size_t index);
  size_t IndexOf(const std::shared_ptr<IDataProcess>& worker) const;
  bool IsKept(const IDataProcess& worker) const;
  bool IsRedirecting(const IDataProcess& worker) const;
  void DeactivateUnchosenBranches(size_t index);

  std::vector<std::shared_ptr<IDataProcess>> workers_;
  std::vector<size_t> order_;
  std::vector<std::string> kept_models_;
  std::vector<std::string> redirecting_models_;
  std::vector<int> in_degree_;
  std::vector<std::vector<Edge>> edges_;
  std::unique_ptr<zelph::chains::DepthFirstOrder> search_;
  std::vector<int> active_;
  std::uint64_t links_revision_ = 0;
  size_t active_count_ = 0;
  size_t position_ = 0;
  std::unique_ptr<zelph::chains::WorkerIndex> index_;
  // Position of the worker Next handed out last; spares the id lookup when it runs.
  size_t last_handed_out_ = static_cast<size_t>(-1);
};
