// event_bus.cpp
//
// The process-wide bus and private dispatchers.
#include "zelph/model/event_bus.h"

#include <mutex>
#include <shared_mutex>
#include <vector>

namespace {

// Chains dispatch from many threads while observers (un)subscribe, also from inside their
// own OnEvent. The lock is never held while an observer runs or is released, so observers
// may use the bus freely.
struct ProcessBus {
  std::shared_mutex mutex;
  Subscriptions subscriptions;
};

// Built on first use and never destroyed, so a plug-in that unsubscribes while the process
// exits never meets a destroyed map.
ProcessBus& Bus() {
  static auto* bus = new ProcessBus();
  return *bus;
}

// Releases the observers when it goes, also when an observer throws.
class ReleaseAtEnd {
 public:
  explicit ReleaseAtEnd(std::vector<IObserver*>& observers) : observers_(observers) {}
  ReleaseAtEnd(const ReleaseAtEnd&) = delete;
  ReleaseAtEnd& operator=(const ReleaseAtEnd&) = delete;
  ~ReleaseAtEnd() {
    for (IObserver* observer : observers_) observer->Release();
  }

 private:
  std::vector<IObserver*>& observers_;
};

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
  if (it == subscriptions_.end()) return;
  const std::vector<IObserver*> snapshot(it->second.begin(), it->second.end());
  for (IObserver* observer : snapshot) observer->OnEvent(event);
}

int EventDispatcher::QueryInterface(const boost::uuids::uuid&, void**) { return 1; }

extern "C" {

void EventBusSubscribe(const boost::uuids::uuid& type, IObserver* observer) {
  ProcessBus& bus = Bus();
  std::unique_lock lock(bus.mutex);
  bus.subscriptions[type].insert(observer);
  observer->AddRef();
}

void EventBusUnsubscribe(const boost::uuids::uuid& type, IObserver* observer) {
  ProcessBus& bus = Bus();
  {
    std::unique_lock lock(bus.mutex);
    auto it = bus.subscriptions.find(type);
    if (it == bus.subscriptions.end() || it->second.erase(observer) == 0) return;
  }
  // Outside the lock: the last release may run a destructor that uses the bus.
  observer->Release();
}

void EventBusUnsubscribeAll(IObserver* observer) {
  ProcessBus& bus = Bus();
  std::size_t ended = 0;
  {
    std::unique_lock lock(bus.mutex);
    for (auto& [type, observers] : bus.subscriptions) ended += observers.erase(observer);
  }
  for (; ended > 0; --ended) observer->Release();
}

void EventBusDispatch(IEvent* event) {
  ProcessBus& bus = Bus();
  // A snapshot, each observer held by a reference, so that the observers run without the
  // lock and one unsubscribed meanwhile is still alive when its turn comes.
  std::vector<IObserver*> observers;
  {
    std::shared_lock lock(bus.mutex);
    auto it = bus.subscriptions.find(event->GetType());
    if (it == bus.subscriptions.end()) return;
    observers.assign(it->second.begin(), it->second.end());
    for (IObserver* observer : observers) observer->AddRef();
  }
  ReleaseAtEnd release(observers);
  for (IObserver* observer : observers) observer->OnEvent(event);
}

IEventDispatcher* CreateEventDispatcher() { return new EventDispatcher(); }

}  // extern "C"
