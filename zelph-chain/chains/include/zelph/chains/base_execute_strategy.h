// base_execute_strategy.h
//
// BaseExecuteStrategy ("base", type 0): orders workers by repeated passes over the chain's
// worker list, placing a worker once every worker that feeds it is placed. Workers caught in a
// loop, or waiting for a worker outside the chain, are left out without a message. It runs
// every worker it hands out, whatever its stage or enabled state.
#pragma once

#include <boost/functional/hash.hpp>
#include <boost/uuid/uuid.hpp>

#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "zelph/chains/execute_strategy.h"

class Link;

class ZELPH_CHAIN_API BaseExecuteStrategy : public ExecuteStrategy {
 public:
  explicit BaseExecuteStrategy(const std::shared_ptr<IDataProcessChain>& chain);
  ~BaseExecuteStrategy() override;

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
  enum class LinkEnd { kDestination = 1, kSource = 2 };
  struct LinkEntry {
    Link* link;
    LinkEnd end;
    // For a destination entry whose link has a source end: the source worker's id.
    std::optional<boost::uuids::uuid> source;
  };
  using UuidSet = std::unordered_set<boost::uuids::uuid, boost::hash<boost::uuids::uuid>>;

  void BuildExecutionList();
  bool IsReady(const boost::uuids::uuid& id, const UuidSet& placed) const;
  // Worker ids are parsed once per Prepare; a worker outside the chain is parsed on demand.
  boost::uuids::uuid UuidOf(const IDataProcess& worker) const;

  std::deque<std::shared_ptr<IDataProcess>> execution_list_;
  std::vector<std::shared_ptr<IDataProcess>> workers_;
  std::vector<boost::uuids::uuid> worker_uuids_;
  std::unordered_map<const IDataProcess*, boost::uuids::uuid> uuid_of_;
  std::vector<Link*> links_;
  std::unordered_map<boost::uuids::uuid, std::vector<LinkEntry>, boost::hash<boost::uuids::uuid>>
      link_index_;
  boost::uuids::uuid last_handed_out_{};
};
