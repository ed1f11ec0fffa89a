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
#include <unordered_map>
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
  // Workers are grouped into slots, one per distinct id: two worker objects of one id, or a
  // link's worker outside the chain with the id of one inside it, count as the same worker.
  // Runs then work on plain vectors indexed by slot and position, with no hash lookup and no
  // allocation per worker.
  static constexpr size_t kNoSlot = static_cast<size_t>(-1);

  void BuildExecutionList();
  bool IsReady(size_t slot, const std::vector<char>& placed) const;
  // The slot of an id, or of a worker in the chain; a new slot for an id not seen yet.
  size_t SlotOfUuid(const boost::uuids::uuid& id);
  size_t SlotOf(const IDataProcess& worker);
  // As SlotOf, but kNoSlot for an id not seen by Prepare.
  size_t FindSlot(const IDataProcess& worker) const;

  // Positions in workers_ still to run in this pass.
  std::deque<size_t> execution_list_;
  std::vector<std::shared_ptr<IDataProcess>> workers_;
  std::vector<boost::uuids::uuid> worker_uuids_;
  std::vector<size_t> slot_of_position_;
  std::unordered_map<boost::uuids::uuid, size_t, boost::hash<boost::uuids::uuid>> slot_of_uuid_;
  std::unordered_map<const IDataProcess*, size_t> slot_of_worker_;
  // Per slot, in link order: the links it feeds, and the slots of the workers that feed it.
  // Cleared, not freed, between runs, so their storage is reused.
  std::vector<std::vector<Link*>> outgoing_;
  std::vector<std::vector<size_t>> sources_;
  // Position of the worker Next handed out last; spares the lookup when it runs.
  size_t last_position_ = kNoSlot;
  boost::uuids::uuid last_handed_out_{};
};
