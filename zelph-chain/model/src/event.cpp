// event.cpp
//
// The event base and the type uuids of the published events. The uuids are part of the
// contract with plug-ins and hosts, which subscribe by them.
#include "zelph/model/event.h"

#include <stdexcept>

#include "zelph/model/uuid.h"

using zelph::UuidFromText;

constinit boost::uuids::uuid EventOnClearedSessionModels::type =
    UuidFromText("5c1214af-8907-41bf-bec7-dbe0f03e39c3");
constinit boost::uuids::uuid EventOnChainExecuted::type =
    UuidFromText("ed2b1edb-6ebb-4d9c-a4b5-86dac41fc1f3");
constinit boost::uuids::uuid EventOnChainReadyToExecute::type =
    UuidFromText("bf89d32f-1688-46da-aaf7-498faaa48cb2");
constinit boost::uuids::uuid EventOnChainThreadCanceled::type =
    UuidFromText("21ae9887-bb01-4770-87fc-593c8c6b346f");
constinit boost::uuids::uuid EventOnCreatedStatistic::type =
    UuidFromText("51b567bd-8864-484d-b92c-23c1abfb976d");
constinit boost::uuids::uuid EventOnCreatedVisibleResults::type =
    UuidFromText("81710344-004e-9785-e984-295ed2817600");
constinit const boost::uuids::uuid EventOnDataProcessExecuted::type =
    UuidFromText("27d3604f-dba6-45f1-9aaf-3c51e3bbcf6c");

Event::Event(const boost::uuids::uuid& type) : type_(type) {}

boost::uuids::uuid& Event::GetType() { return type_; }

long long Event::AddRef() { return Referable::AddRef(); }

long long Event::Release() { return Referable::Release(); }

int Event::QueryInterface(const boost::uuids::uuid&, void**) { return 1; }

EventOnClearedSessionModels::EventOnClearedSessionModels() : Event(type) {}

bool EventOnClearedSessionModels::Equals(IEvent* event) { return event->GetType() == type; }

EventOnChainExecuted::EventOnChainExecuted(const std::shared_ptr<IDataProcessChain>& chain,
                                           zelph::ExecutionStage stage)
    : Event(type), chain_(chain), stage_(stage) {}

std::shared_ptr<IDataProcessChain> EventOnChainExecuted::GetChain() {
  auto chain = chain_.lock();
  if (!chain) {
    throw std::runtime_error("Chain not available");
  }
  return chain;
}

bool EventOnChainExecuted::Equals(IEvent* event) { return event->GetType() == type; }

EventOnChainReadyToExecute::EventOnChainReadyToExecute(zelph::ExecutionStage stage)
    : Event(type), stage_(stage) {}

bool EventOnChainReadyToExecute::Equals(IEvent* event) { return event->GetType() == type; }

EventOnChainThreadCanceled::EventOnChainThreadCanceled() : Event(type) {}

EventOnCreatedStatistic::EventOnCreatedStatistic(IStatistic* statistic)
    : Event(type), statistic_(statistic) {}

EventOnCreatedVisibleResults::EventOnCreatedVisibleResults(IDataProcess* data_process,
                                                           IPortData* port_data)
    : Event(type), data_process_(data_process), port_data_(port_data) {}

EventOnDataProcessExecuted::EventOnDataProcessExecuted(IDataProcess* executed)
    : Event(type), executed_(executed) {}

bool EventOnDataProcessExecuted::Equals(IEvent* event) { return event->GetType() == type; }
