// event_bus.h
//
// Synchronous publish/subscribe by event type. Two kinds of bus:
//  - the process-wide bus behind the EventBus* functions, which holds one reference on an
//    observer per subscription;
//  - private EventDispatcher objects from CreateEventDispatcher, which take no references.
// Observers are called on the dispatching thread, in ascending observer address.
//
// The process-wide bus locks itself: dispatches, subscriptions and unsubscriptions may run on
// any threads at once, also from inside OnEvent. No lock is held while an observer runs.
// A private EventDispatcher takes no lock: dispatches may run concurrently with each other,
// but subscribing and unsubscribing must not overlap with each other or with a dispatch.
// On either bus an observer may unsubscribe itself or others from inside OnEvent; that does
// not change which observers the running dispatch calls.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <map>
#include <set>

#include "zelph/chain/export.h"
#include "zelph/model/event.h"
#include "zelph/model/query_interface.h"

class ZELPH_CHAIN_API IEventDispatcher : public virtual IQueryInterface {
 public:
  virtual void Subscribe(const boost::uuids::uuid& type, IObserver* observer) = 0;
  virtual void Subscribe(IEvent* event, IObserver* observer) = 0;
  virtual void Unsubscribe(IEvent* event, IObserver* observer) = 0;
  virtual void UnsubscribeAll(IObserver* observer) = 0;
  virtual void Clear() = 0;
  virtual void Dispatch(IEvent* event) = 0;
};

// Observers of one event type, ordered by address.
using ObserverSet = std::set<IObserver*>;
using Subscriptions = std::map<boost::uuids::uuid, ObserverSet>;

class ZELPH_CHAIN_API EventDispatcher : public IEventDispatcher, public Referable {
 public:
  EventDispatcher() = default;

  void Subscribe(const boost::uuids::uuid& type, IObserver* observer) override;
  void Subscribe(IEvent* event, IObserver* observer) override;
  void Unsubscribe(IEvent* event, IObserver* observer) override;
  void UnsubscribeAll(IObserver* observer) override;
  void Clear() override;
  // The observers must stay alive for the whole dispatch: this bus holds no references.
  void Dispatch(IEvent* event) override;

  // Answers 1 for every id.
  int QueryInterface(const boost::uuids::uuid& interface_id, void** out) override;

 private:
  Subscriptions subscriptions_;
};

extern "C" {

// Subscribes and takes one reference on the observer, on every call (also a repeated one).
ZELPH_CHAIN_API void EventBusSubscribe(const boost::uuids::uuid& type, IObserver* observer);
// Ends the subscription and releases its reference; nothing when not subscribed.
ZELPH_CHAIN_API void EventBusUnsubscribe(const boost::uuids::uuid& type, IObserver* observer);
// Ends every subscription of the observer, releasing one reference for each.
ZELPH_CHAIN_API void EventBusUnsubscribeAll(IObserver* observer);
// Calls every observer subscribed to the event's type when the dispatch began. Each is held
// by a reference for the whole dispatch, so one released by another observer meanwhile is
// still alive when its turn comes and is freed afterwards.
ZELPH_CHAIN_API void EventBusDispatch(IEvent* event);

// A new private bus with count 1; release it with Release().
ZELPH_CHAIN_API IEventDispatcher* CreateEventDispatcher();

}  // extern "C"
