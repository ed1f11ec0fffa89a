// linked_chain.h
//
// zelph::LinkedChain: the chain implementation. It keeps its workers and links in two plain
// lists, in the order they were added, and leaves the order of execution to its execute
// strategy. Typical use:
//
//   auto chain = zelph::LinkedChain::Create();
//   auto worker = chain->CreateWorker("", model_id);  // from a registered model
//   chain->AddWorker(worker);
//   chain->Execute(zelph::ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
//
// Threading: workers, links and the strategy are changed only under the caller's own lock and
// never while Execute runs on another thread. Interrupt and GetExecutionStatus may be called
// from any thread while a run goes on.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "zelph/chains/data_process_chain.h"
#include "zelph/chains/execute_strategy.h"

namespace zelph {

namespace chains {
class PortLinkIndex;
}  // namespace chains

class ZELPH_CHAIN_API LinkedChain : public IDataProcessChain {
 public:
  // The only way to make a chain: owned by a shared pointer, with the configured strategy.
  static std::shared_ptr<IDataProcessChain> Create();
  ~LinkedChain() override;

  bool IsCollectStatistic() override;
  bool IsCreatePreview() override;
  void EnableAutoRun(bool on) override;
  Status AddWorker(std::shared_ptr<IDataProcess> worker) override;
  // Makes a worker of the registered model; empty when no model has that id. Not added.
  std::shared_ptr<IDataProcess> CreateWorker(const std::string& worker_id,
                                             const std::string& model_id) override;
  // Takes ownership of the link.
  Status AddLink(Link* link) override;
  Link* CreateLink(std::shared_ptr<IDataProcess> source, zelph::Port* source_port,
                   std::shared_ptr<IDataProcess> destination,
                   zelph::Port* destination_port) override;
  Link* FindLink(const std::string& id) override;
  size_t GetLinksCount() const override { return links_.size(); }
  std::vector<Link*> GetLinks() override;
  std::vector<Link*> FindLinksConnectedWithWorker(const boost::uuids::uuid& id) override;
  // Answered from an index of link ends by port id, kept on every link edit: a worker asks
  // this about each of its ports on every run.
  bool HasLinksConnectedWithPort(const std::string& port_id) override;
  bool HasLinksConnectedWithWorker(const boost::uuids::uuid& id) const override;
  // The removed link stays readable, and owned by the chain, until Clear or destruction.
  Status RemoveLink(const std::string& id) override;
  Status RemoveWorker(const boost::uuids::uuid& id) override;
  std::uint64_t GetLinksRevision() const override { return links_revision_; }
  Status Execute(zelph::ExecutionStage stage, ExecutionFlow flow) override;
  void ExecuteWorker(const std::string& id) override;
  void ExecuteOnce() override { SetChainCommand(ChainCommand::kExecuteOnce); }
  Status Clear() override;
  void Interrupt() override;
  void ExecuteStep() override { SetChainCommand(ChainCommand::kStep); }
  void ResetIterations() override { SetChainCommand(ChainCommand::kResetIterations); }
  size_t GetWorkersCount() const override { return workers_.size(); }
  std::vector<std::shared_ptr<IDataProcess>> GetWorkers() const override { return workers_; }
  std::shared_ptr<IDataProcess> FindDataProcessByUuid(const boost::uuids::uuid& id) override;
  // A worker's system name shadows another worker's id.
  std::shared_ptr<IDataProcess> FindWorker(const std::string& id) override;
  std::shared_ptr<IDataProcess> FindFirstDataProcessBySystemName(zelph::OptionalFlag mask,
                                                                 const char* name) override;
  // "__tmp.command" runs a command, "execution.strategy" switches the strategy; both need a
  // text value (std::bad_variant_access otherwise).
  bool UpdateChangedProperty(const char* name, PropertyValue& value) override;
  void UpdateChangedProperties() override;
  void SetExecutionTimeout(int /*timeout*/) override {}
  std::string SerializeAsJson() override;
  void SetChainCommand(ChainCommand command) override { command_ = command; }
  zelph::Port* FindStopLoopConditionPort() override { return nullptr; }
  int GetExecutedOrder(const boost::uuids::uuid& /*id*/) override { return 0; }
  void SetProperty(boost::uuids::uuid& /*worker_id*/, const std::string& /*name*/,
                   PropertyValue& /*value*/) override {}
  std::pair<std::shared_ptr<IDataProcess>, zelph::Port*> FindPortById(
      const std::string& id) override;
  // The same type again changes nothing; save stores the strategy's name in the bag.
  void SetExecutionStrategy(ExecutionStrategyType type, bool save) override;
  ExecutionStrategyType GetExecutionStrategyType() override { return strategy_->GetType(); }
  void ResetWorkersState() override;
  ExecutionStatus GetExecutionStatus() override;

  bool IsAutoRunMode() const { return auto_run_; }
  ChainCommand CurrentCommand() const { return command_; }
  void SetCurrentCommand(ChainCommand command) { SetChainCommand(command); }
  void SetInterruptFlag(bool on) { interrupt_.store(on); }
  bool GetInterruptFlag() const { return interrupt_.load(); }
  ZelphConfig* GetConfig() const { return config_; }

 protected:
  void ExecuteCommand(const char* command);
  void ClearImp();

 private:
  LinkedChain();

  Status ExecuteFlow(zelph::ExecutionStage stage, ExecutionFlow flow);
  void ExecuteWorker(const std::shared_ptr<IDataProcess>& worker, zelph::ExecutionStage stage);
  void SetExecutionStrategy(std::unique_ptr<ExecuteStrategy> strategy, bool save);
  // The current worker is published under a small lock so that Interrupt and
  // GetExecutionStatus on other threads see a complete reference or none.
  void SetCurrentWorker(std::shared_ptr<IDataProcess> worker);
  std::shared_ptr<IDataProcess> GetCurrentWorker() const;

  ChainCommand command_ = ChainCommand::kNone;
  std::vector<std::shared_ptr<IDataProcess>> workers_;
  std::vector<std::unique_ptr<Link>> links_;
  // The first link of each id, for FindLink.
  std::unordered_map<std::string, Link*> link_index_;
  // The ends of the links in links_, by port id; the observer of each of those links.
  std::unique_ptr<chains::PortLinkIndex> port_link_index_;
  // Links taken out by RemoveLink: callers may still read them; freed by Clear.
  std::vector<std::unique_ptr<Link>> removed_links_;
  std::uint64_t links_revision_ = 0;
  bool auto_run_ = false;
  ZelphConfig* config_;
  std::unique_ptr<ExecuteStrategy> strategy_;
  std::atomic<bool> interrupt_{false};
  mutable std::mutex current_worker_mutex_;
  std::shared_ptr<IDataProcess> current_worker_;
};

}  // namespace zelph
