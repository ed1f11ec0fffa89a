// data_process_chain.h
//
// IDataProcessChain: the abstract chain. A chain owns a set of workers and the links between
// their ports and runs them through an execute strategy. The base class holds what every chain
// has (identity texts, property bag, flags with their listener, execution options, session and
// context data) and declares the operations that zelph::LinkedChain implements.
//
// Chains are always owned by a std::shared_ptr (zelph::LinkedChain::Create): the flag listener,
// workers and strategies receive the chain as a shared pointer, so an unowned chain fails those
// calls with std::bad_weak_ptr.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/chains/chain_types.h"
#include "zelph/config/zelph_config.h"
#include "zelph/model/data_process.h"
#include "zelph/model/execution_stage.h"
#include "zelph/model/model_structure.h"
#include "zelph/model/property.h"

class IDataProcessChain;
class Link;
namespace zelph {
class Port;
}

namespace zelph::chain {

// Told of every change of a chain's flags word. Owned by whoever installs it; runs
// synchronously on the thread that changed the flag, outside any lock of the chain.
class ZELPH_CHAIN_API FlagListener {
 public:
  FlagListener() = default;
  FlagListener(const FlagListener&) = default;
  FlagListener& operator=(const FlagListener&) = default;
  virtual ~FlagListener() = default;
  virtual void OnChangeFlag(std::shared_ptr<IDataProcessChain> chain, int old_flags,
                            int new_flags) = 0;
};

}  // namespace zelph::chain

class ZELPH_CHAIN_API IDataProcessChain : public std::enable_shared_from_this<IDataProcessChain> {
 public:
  virtual ~IDataProcessChain();

  virtual bool IsCollectStatistic() = 0;
  virtual bool IsCreatePreview() = 0;
  virtual void EnableAutoRun(bool on) = 0;
  virtual zelph::Status AddWorker(std::shared_ptr<IDataProcess> worker) = 0;
  virtual std::shared_ptr<IDataProcess> CreateWorker(const std::string& worker_id,
                                                     const std::string& model_id) = 0;
  virtual zelph::Status AddLink(Link* link) = 0;
  virtual Link* CreateLink(std::shared_ptr<IDataProcess> source, zelph::Port* source_port,
                           std::shared_ptr<IDataProcess> destination,
                           zelph::Port* destination_port) = 0;
  virtual Link* FindLink(const std::string& id) = 0;
  virtual size_t GetLinksCount() const = 0;
  virtual std::vector<Link*> GetLinks() = 0;
  virtual std::vector<Link*> FindLinksConnectedWithWorker(const boost::uuids::uuid& id) = 0;
  virtual bool HasLinksConnectedWithPort(const std::string& port_id) = 0;
  virtual bool HasLinksConnectedWithWorker(const boost::uuids::uuid& id) const = 0;
  virtual zelph::Status RemoveLink(const std::string& id) = 0;
  // Changes whenever a link is added or removed and when the chain is cleared. A strategy that
  // kept Link pointers since the same revision may use them without looking them up by id.
  virtual std::uint64_t GetLinksRevision() const = 0;
  virtual zelph::Status RemoveWorker(const boost::uuids::uuid& id) = 0;
  // Runs the chain on the calling thread. Never run twice at once on one chain.
  virtual zelph::Status Execute(zelph::ExecutionStage stage, ExecutionFlow flow) = 0;
  virtual void ExecuteWorker(const std::string& id) = 0;
  virtual void ExecuteOnce() = 0;
  virtual zelph::Status Clear() = 0;
  // Safe from any thread while Execute runs.
  virtual void Interrupt() = 0;
  virtual void ExecuteStep() = 0;
  virtual void ResetIterations() = 0;
  virtual size_t GetWorkersCount() const = 0;
  virtual std::vector<std::shared_ptr<IDataProcess>> GetWorkers() const = 0;
  virtual std::shared_ptr<IDataProcess> FindDataProcessByUuid(const boost::uuids::uuid& id) = 0;
  virtual std::shared_ptr<IDataProcess> FindWorker(const std::string& id) = 0;
  virtual std::shared_ptr<IDataProcess> FindFirstDataProcessBySystemName(zelph::OptionalFlag mask,
                                                                         const char* name) = 0;
  virtual bool UpdateChangedProperty(const char* name, PropertyValue& value) = 0;
  virtual void UpdateChangedProperties() = 0;
  virtual void SetExecutionTimeout(int timeout) = 0;
  // Returns the chain as chain-file text; by value, so concurrent readers never share a buffer.
  virtual std::string SerializeAsJson() = 0;
  virtual void SetChainCommand(ChainCommand command) = 0;
  virtual zelph::Port* FindStopLoopConditionPort() = 0;
  virtual int GetExecutedOrder(const boost::uuids::uuid& id) = 0;
  virtual void SetProperty(boost::uuids::uuid& worker_id, const std::string& name,
                           PropertyValue& value) = 0;
  virtual std::pair<std::shared_ptr<IDataProcess>, zelph::Port*> FindPortById(
      const std::string& id) = 0;
  virtual void SetExecutionStrategy(ExecutionStrategyType type, bool save) = 0;
  virtual ExecutionStrategyType GetExecutionStrategyType() = 0;
  virtual void ResetWorkersState() = 0;
  // Safe from any thread while Execute runs.
  virtual ExecutionStatus GetExecutionStatus() = 0;

  // The listener is not owned; null removes it.
  void SetFlagListener(zelph::chain::FlagListener* listener) { flag_listener_ = listener; }
  // Safe from any thread.
  bool IsFlag(zelph::chain::Flag flag) const;

  Property* GetProperties() const { return properties_.get(); }
  std::string ToString() const;

  void SetId(const std::string& id);
  void SetUuid(const boost::uuids::uuid& id);
  std::string GetId() const { return id_; }
  void SetSessionId(const std::string& session_id);
  std::string GetSessionId() const { return session_id_; }
  void SetContextId(long long context_id) { context_id_ = context_id; }
  long long GetContextId() const { return context_id_; }
  void SetContextPath(const std::string& path) const;
  std::string GetContextPath() const;
  void SetCurrentDir(const std::string& folder) const;
  std::string GetCurrentDir() const;

  void SetName(const std::string& name) { name_ = name; }
  std::string GetName() const { return name_; }
  std::string GetContextName() const { return name_; }
  void SetDescription(const std::string& text) { description_ = text; }
  std::string GetDescription() const { return description_; }
  void SetCategory(const std::string& text) { category_ = text; }
  std::string GetCategory() const { return category_; }
  void SetExecutor(const std::string& text) { executor_ = text; }
  std::string GetExecutor() const { return executor_; }

  void SetExecutionOption(zelph::chain::ExecutionOption option);
  void SetExecutionOption(zelph::chain::ExecutionOption option, bool on);
  void ResetExecutionOption(zelph::chain::ExecutionOption option);
  // For kIgnoreExceptions the configured exception action decides before the chain's own set.
  bool GetExecutionOption(zelph::chain::ExecutionOption option) const;

  // The first worker that is the main setting worker of this chain's context, or empty.
  std::shared_ptr<IDataProcess> FindMainSettingWorker() const;

 protected:
  IDataProcessChain();

  // Both change the bit atomically, then notify the listener; they return the old word.
  int SetFlag(zelph::chain::Flag flag);
  int ClearFlag(zelph::chain::Flag flag);
  void InvokeFlagListener(int old_flags, int new_flags);

  // Empties the id and the descriptive texts and sets the context id to 0, for a reload.
  void ClearIdentity();
  // Removes every entry of the property bag.
  void ClearProperties();

 private:
  std::string name_;
  std::string description_;
  zelph::chain::FlagListener* flag_listener_ = nullptr;
  std::atomic<int> flags_{0};
  std::string session_id_;
  std::string id_;
  std::unique_ptr<Property> properties_;
  long long context_id_ = 0;
  std::set<zelph::chain::ExecutionOption> execution_options_;
  std::string category_;
  std::string executor_;
};
