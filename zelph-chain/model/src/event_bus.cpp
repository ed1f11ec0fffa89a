// event_bus.cpp
//
// The process-wide bus and private dispatchers.
#include "zelph/model/event_bus.h"

#include <vector>

namespace {

// Built on first use and never destroyed, so a plug-in that unsubscribes while the process
// exits never meets a destroyed map.
Subscriptions& ProcessBus() {
  static auto* bus = new Subscriptions();
  return *bus;
}

// Calls every observer of a snapshot of `observers`. With hold set, each observer is kept
// alive by a reference for the whole dispatch.
void CallObservers(const ObserverSet& observers, IEvent* event, bool hold) {
  const std::vector<IObserver*> snapshot(observers.begin(), observers.end());
  if (hold) {
    for (IObserver* observer : snapshot) observer->AddRef();
  }
  struct Releaser {
    const std::vector<IObserver*>& observers;
    bool active;
    ~Releaser() {
      if (!active) return;
      for (IObserver* observer : observers) observer->Release();
    }
  } releaser{snapshot, hold};
  for (IObserver* observer : snapshot) observer->OnEvent(event);
}

}  // namespace

void EventDispatcher::Subscribe(const boost::uuids::uuid& type, IObserver* observer) {
  subscriptions_[type].insert(observer);
}

void EventDispatcher::Subscribe(IEvent* event, IObserver* observer) {
  Subscribe(event->GetType(), observer);
}

void EventDispatcher::Unsubscribe(IEvent* event, IObserver* observer) {
  auto it = subscriptions_.find(event->GetType());
  if (it != subscriptions_.end()) it->second.erase(observer);
}

void EventDispatcher::UnsubscribeAll(IObserver* observer) {
  for (auto& [type, observers] : subscriptions_) observers.erase(observer);
}

void EventDispatcher::Clear() { subscriptions_.clear(); }

void EventDispatcher::Dispatch(IEvent* event) {
  auto it = subscriptions_.find(event->GetType());
  if (it != subscriptions_.end()) CallObservers(it->second, event, false);
}

int EventDispatcher::QueryInterface(const boost::uuids::uuid&, void**) { return 1; }

extern "C" {

void EventBusSubscribe(const boost::uuids::uuid& type, IObserver* observer) {
  ProcessBus()[type].insert(observer);
  observer->AddRef();
}

void EventBusUnsubscribe(const boost::uuids::uuid& type, IObserver* observer) {
  auto& bus = ProcessBus();
  auto it = bus.find(type);
  if (it != bus.end() && it->second.erase(observer) != 0) observer->Release();
}

void EventBusUnsubscribeAll(IObserver* observer) {
  for (auto& [type, observers] : ProcessBus()) {
    if (observers.erase(observer) != 0) observer->Release();
  }
}

void EventBusDispatch(IEvent* event) {
  auto& bus = ProcessBus();
  auto it = bus.find(event->GetType());
  if (it != bus.end()) CallObservers(it->second, event, true);
}

IEventDispatcher* CreateEventDispatcher() { return new EventDispatcher(); }

}  // extern "C"
