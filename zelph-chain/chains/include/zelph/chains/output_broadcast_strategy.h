// output_broadcast_strategy.h
//
// OutputBroadcastStrategy ("output_broadcast", type 3): pulls the chain from its end points.
// To choose the next worker it searches backwards from each end point for a worker that has
// not run yet and whose followed sources have all run; after a worker runs it sends the data
// of every output link to its destination. A loop among the links of enabled workers is
// refused when the run is prepared.
#pragma once

#include <list>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "zelph/chains/execute_strategy.h"

class Link;

class ZELPH_CHAIN_API OutputBroadcastStrategy : public ExecuteStrategy {
 public:
  explicit OutputBroadcastStrategy(const std::shared_ptr<IDataProcessChain>& chain);
  ~OutputBroadcastStrategy() override;

  bool Prepare(const zelph::ExecutionStage& stage) override;
  void ExecuteAndTransmit(std::shared_ptr<IDataProcess> worker,
                          zelph::ExecutionStage stage) override;
  // Runs the same search as Next, with its side effects.
  bool IsEmpty() override;
  std::shared_ptr<IDataProcess> Front() override { return nullptr; }
  std::shared_ptr<IDataProcess> Back() override { return nullptr; }
  std::shared_ptr<IDataProcess> Next() override;
  long long CurrentIndex() override { return 0; }
  void Rebuild() override;

 private:
  using LinkMap = std::map<IDataProcess*, std::list<Link*>>;

  std::shared_ptr<IDataProcess> FindNext();
  std::shared_ptr<IDataProcess> SearchFrom(const std::shared_ptr<IDataProcess>& end_point);
  bool HasLoop() const;
  void LogLinkMap(const char* title, const char* label, const LinkMap& links) const;
  void LogEndPoints() const;
  void LogExecuted() const;

  std::vector<std::shared_ptr<IDataProcess>> workers_;
  std::set<std::shared_ptr<IDataProcess>> executed_;
  LinkMap incoming_;
  LinkMap outgoing_;
  std::list<std::shared_ptr<IDataProcess>> end_points_;
};
