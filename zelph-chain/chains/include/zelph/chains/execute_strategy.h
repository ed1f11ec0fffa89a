// execute_strategy.h
//
// ExecuteStrategy: decides in which order a chain runs its workers. The chain asks it to
// prepare a run for a stage, pulls workers from it one at a time, and lets it run each worker
// and pass the worker's output data on along the links. CreateExecuteStrategy makes the
// strategy of a type.
//
// A strategy keeps only a weak reference to its chain; operations that need the chain throw
// std::runtime_error "Chain not available" once it is gone. Strategies run on the thread of
// the chain operation that calls them and take no locks.
#pragma once

#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/config/zelph_config.h"
#include "zelph/model/execution_stage.h"

class IDataProcess;
class IDataProcessChain;

class ZELPH_CHAIN_API ExecuteStrategy {
 public:
  virtual ~ExecuteStrategy() = default;

  // Builds the list for a run; false refuses the run.
  virtual bool Prepare(const zelph::ExecutionStage& stage) = 0;
  // Runs the worker (or skips it), notes a repeat request, transmits its output data.
  virtual void ExecuteAndTransmit(std::shared_ptr<IDataProcess> worker,
                                  zelph::ExecutionStage stage) = 0;
  virtual bool IsEmpty() = 0;
  virtual std::shared_ptr<IDataProcess> Front() = 0;
  virtual std::shared_ptr<IDataProcess> Back() = 0;
  // The next worker to run; empty ends the pass.
  virtual std::shared_ptr<IDataProcess> Next() = 0;
  // An index into the chain's worker list; -1 for none.
  virtual long long CurrentIndex() = 0;
  virtual void ReleaseList() {}
  // Makes the list ready for another pass when a repeat was requested.
  virtual void Rebuild() = 0;

  bool IsRepeat() const { return repeat_; }
  const std::string& GetName() const { return name_; }
  ExecutionStrategyType GetType() const { return type_; }

 protected:
  ExecuteStrategy(const std::shared_ptr<IDataProcessChain>& chain, std::string name,
                  ExecutionStrategyType type);

  // Throws std::runtime_error "Chain not available" when the chain is gone.
  std::shared_ptr<IDataProcessChain> LockChain() const;
  void SetRepeat(bool repeat) { repeat_ = repeat; }

 private:
  std::weak_ptr<IDataProcessChain> chain_;
  bool repeat_ = false;
  std::string name_;
  ExecutionStrategyType type_;
};

// A new strategy of the type, owned by the caller. An unknown type logs a warning and gives
// the base strategy.
ZELPH_CHAIN_API ExecuteStrategy* CreateExecuteStrategy(ExecutionStrategyType type,
                                                       std::shared_ptr<IDataProcessChain> chain);
