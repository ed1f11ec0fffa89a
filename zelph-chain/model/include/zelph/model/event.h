// event.h
//
// Events of the event bus: each carries a type uuid by which observers subscribe. The seven
// event classes below are what the chain and plug-ins publish; hosts may define more by
// deriving from Event with a uuid of their own.
//
// Events keep plain pointers to what they describe and take no references: the objects must
// outlive the event. The one exception is EventOnChainExecuted, which keeps a weak reference to
// its chain and never keeps the chain alive.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <memory>

#include "zelph/chain/export.h"
#include "zelph/model/execution_stage.h"
#include "zelph/model/query_interface.h"

class IDataProcess;
class IDataProcessChain;
class IStatistic;
class IPortData;

class ZELPH_CHAIN_API IEvent : public virtual IQueryInterface {
 public:
  virtual boost::uuids::uuid& GetType() = 0;
};

// The receiving side. An observer on the process-wide bus holds one reference per
// subscription, so the bus keeps it alive while subscribed.
class ZELPH_CHAIN_API IObserver : public virtual IQueryInterface {
 public:
  virtual void OnEvent(IEvent* event) = 0;
};

class ZELPH_CHAIN_API Event : public IEvent, public Referable {
 public:
  boost::uuids::uuid& GetType() override;

 protected:
  explicit Event(const boost::uuids::uuid& type);

  long long AddRef() override;
  long long Release() override;
  // Events expose no further interface: answers 1 for every id.
  int QueryInterface(const boost::uuids::uuid& interface_id, void** out) override;

 private:
  boost::uuids::uuid type_;
};

class ZELPH_CHAIN_API EventOnClearedSessionModels : public Event {
 public:
  EventOnClearedSessionModels();
  static bool Equals(IEvent* event);
  static boost::uuids::uuid type;
};

class ZELPH_CHAIN_API EventOnChainExecuted : public Event {
 public:
  EventOnChainExecuted(const std::shared_ptr<IDataProcessChain>& chain,
                       zelph::ExecutionStage stage);
  // Throws std::runtime_error "Chain not available" once the chain is gone.
  std::shared_ptr<IDataProcessChain> GetChain();
  zelph::ExecutionStage GetExecutionStage() const { return stage_; }
  static bool Equals(IEvent* event);
  static boost::uuids::uuid type;

 private:
  std::weak_ptr<IDataProcessChain> chain_;
  zelph::ExecutionStage stage_;
};

class ZELPH_CHAIN_API EventOnChainReadyToExecute : public Event {
 public:
  explicit EventOnChainReadyToExecute(zelph::ExecutionStage stage);
  zelph::ExecutionStage GetExecutionStage() const { return stage_; }
  static bool Equals(IEvent* event);
  static boost::uuids::uuid type;

 private:
  zelph::ExecutionStage stage_;
};

class ZELPH_CHAIN_API EventOnChainThreadCanceled : public Event {
 public:
  EventOnChainThreadCanceled();
  static boost::uuids::uuid type;
};

class ZELPH_CHAIN_API EventOnCreatedStatistic : public Event {
 public:
  explicit EventOnCreatedStatistic(IStatistic* statistic);
  IStatistic* GetStatistic() const { return statistic_; }
  static boost::uuids::uuid type;

 private:
  IStatistic* statistic_;
};

class ZELPH_CHAIN_API EventOnCreatedVisibleResults : public Event {
 public:
  EventOnCreatedVisibleResults(IDataProcess* data_process, IPortData* port_data);
  IDataProcess* getDataProcess() const { return data_process_; }
  IPortData* getPortData() const { return port_data_; }
  static boost::uuids::uuid type;

 private:
  IDataProcess* data_process_;
  IPortData* port_data_;
};

class ZELPH_CHAIN_API EventOnDataProcessExecuted : public Event {
 public:
  explicit EventOnDataProcessExecuted(IDataProcess* executed);
  IDataProcess* GetExecuted() const { return executed_; }
  static bool Equals(IEvent* event);
  static const boost::uuids::uuid type;

 private:
  IDataProcess* executed_;
};
