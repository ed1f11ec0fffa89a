// The reference-counted object model and the two kinds of event bus.
#include <gtest/gtest.h>

#include <boost/uuid/uuid_io.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "zelph/model/event_bus.h"

namespace {

// An observer that reports its calls and its destruction.
class Observer : public IObserver, public Referable {
 public:
  explicit Observer(int* destroyed = nullptr) : destroyed_(destroyed) {}
  ~Observer() override {
    if (destroyed_) ++*destroyed_;
  }
  void OnEvent(IEvent*) override {
    ++calls;
    if (on_event) on_event();
  }
  int QueryInterface(const boost::uuids::uuid&, void**) override { return 1; }
  long long Count() {
    AddRef();
    return Release();
  }

  int calls = 0;
  std::function<void()> on_event;

 private:
  int* destroyed_;
};

TEST(ReferableTest, LastReleaseDeletes) {
  int destroyed = 0;
  auto* observer = new Observer(&destroyed);
  EXPECT_EQ(observer->AddRef(), 2);
  EXPECT_EQ(observer->Release(), 1);
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(observer->Release(), 0);
  EXPECT_EQ(destroyed, 1);
}

TEST(EventTest, EqualsByType) {
  EventOnChainReadyToExecute ready(zelph::ExecutionStage::kRunTime);
  EventOnChainExecuted executed(nullptr, zelph::ExecutionStage::kRunTime);
  EXPECT_TRUE(EventOnChainReadyToExecute::Equals(&ready));
  EXPECT_FALSE(EventOnChainReadyToExecute::Equals(&executed));
  EXPECT_EQ(boost::uuids::to_string(EventOnCreatedVisibleResults::type),
            "81710344-004e-9785-e984-295ed2817600");
  try {
    executed.GetChain();
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Chain not available");
  }
}

TEST(EventBusTest, SubscriptionsHoldReferences) {
  Observer observer;
  EventOnChainThreadCanceled canceled;
  EventOnClearedSessionModels cleared;
  EventBusSubscribe(EventOnChainThreadCanceled::type, &observer);
  EventBusSubscribe(EventOnChainThreadCanceled::type, &observer);
  EventBusSubscribe(EventOnClearedSessionModels::type, &observer);
  EXPECT_EQ(observer.Count(), 4);
  EventBusDispatch(&canceled);
  EXPECT_EQ(observer.calls, 1);
  EventBusUnsubscribe(EventOnChainThreadCanceled::type, &observer);
  EXPECT_EQ(observer.Count(), 3);
  EventBusDispatch(&canceled);
  EXPECT_EQ(observer.calls, 1);
  EventBusUnsubscribe(EventOnChainThreadCanceled::type, &observer);  // not subscribed
  EXPECT_EQ(observer.Count(), 3);
  EventBusSubscribe(EventOnChainThreadCanceled::type, &observer);
  EventBusUnsubscribeAll(&observer);
  EXPECT_EQ(observer.Count(), 2);  // one reference per ended subscription
  EventBusDispatch(&canceled);
  EventBusDispatch(&cleared);
  EXPECT_EQ(observer.calls, 1);
  observer.Release();  // back to the creator's single reference
}

// An observer that unsubscribes another one, whose last reference the bus held, must not
// make the dispatch call a freed object; the released observer goes after the dispatch.
TEST(EventBusTest, ObserverReleasedByAnotherDuringDispatchStaysValid) {
  int destroyed = 0;
  auto* first = new Observer(&destroyed);
  auto* second = new Observer(&destroyed);
  // The bus calls in address order: the one called first releases the other.
  Observer* releasing = first < second ? first : second;
  Observer* released = first < second ? second : first;
  EventOnChainThreadCanceled event;
  EventBusSubscribe(EventOnChainThreadCanceled::type, releasing);
  EventBusSubscribe(EventOnChainThreadCanceled::type, released);
  released->Release();  // the bus now holds its only reference
  releasing->on_event = [&] {
    EventBusUnsubscribe(EventOnChainThreadCanceled::type, released);
    EXPECT_EQ(destroyed, 0);
  };
  EventBusDispatch(&event);
  EXPECT_EQ(destroyed, 1);
  EventBusUnsubscribeAll(releasing);
  EXPECT_EQ(releasing->Release(), 0);
  EXPECT_EQ(destroyed, 2);
}

TEST(EventBusTest, ObserverUnsubscribingItselfLeavesOthersCalled) {
  Observer a;
  Observer b;
  EventOnChainThreadCanceled event;
  EventBusSubscribe(EventOnChainThreadCanceled::type, &a);
  EventBusSubscribe(EventOnChainThreadCanceled::type, &b);
  a.on_event = [&] { EventBusUnsubscribe(EventOnChainThreadCanceled::type, &a); };
  b.on_event = [&] { EventBusUnsubscribe(EventOnChainThreadCanceled::type, &b); };
  EventBusDispatch(&event);
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(b.calls, 1);
  EXPECT_EQ(a.Count(), 1);
  EXPECT_EQ(b.Count(), 1);
}

// Two chains dispatch on two threads while observers unsubscribe inside their own OnEvent
// and a third thread subscribes them again: the bus stays whole and every subscription's
// reference is released exactly once.
TEST(EventBusTest, DispatchesAndUnsubscriptionsRunTogether) {
  static std::atomic<int> calls{0};
  class SelfUnsubscribing : public IObserver, public Referable {
   public:
    void OnEvent(IEvent* event) override {
      ++calls;
      EventBusUnsubscribe(event->GetType(), this);
    }
    int QueryInterface(const boost::uuids::uuid&, void**) override { return 1; }
    long long Count() {
      AddRef();
      return Release();
    }
  };
  constexpr int kCalls = 4000;
  std::vector<std::unique_ptr<SelfUnsubscribing>> observers;
  for (int i = 0; i < 8; ++i) observers.push_back(std::make_unique<SelfUnsubscribing>());

  std::vector<std::jthread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([] {
      EventOnChainThreadCanceled event;
      while (calls < kCalls) EventBusDispatch(&event);
    });
  }
  threads.emplace_back([&] {
    // Unsubscribing first keeps one subscription, and so one reference, per observer.
    while (calls < kCalls) {
      for (auto& observer : observers) {
        EventBusUnsubscribe(EventOnChainThreadCanceled::type, observer.get());
        EventBusSubscribe(EventOnChainThreadCanceled::type, observer.get());
      }
    }
  });
  threads.clear();

  for (auto& observer : observers) {
    EventBusUnsubscribeAll(observer.get());
    EXPECT_EQ(observer->Count(), 1);  // only the creator's reference is left
  }
}

TEST(EventDispatcherTest, PrivateBusTakesNoReferences) {
  IEventDispatcher* dispatcher = CreateEventDispatcher();
  Observer observer;
  EventOnDataProcessExecuted executed(nullptr);
  EventOnChainThreadCanceled canceled;
  dispatcher->Subscribe(&executed, &observer);
  dispatcher->Subscribe(EventOnChainThreadCanceled::type, &observer);
  EXPECT_EQ(observer.Count(), 1);
  dispatcher->Dispatch(&executed);
  dispatcher->Unsubscribe(&executed, &observer);
  dispatcher->Dispatch(&executed);
  dispatcher->Dispatch(&canceled);
  EXPECT_EQ(observer.calls, 2);
  dispatcher->Clear();
  dispatcher->Dispatch(&canceled);
  EXPECT_EQ(observer.calls, 2);
  void* out = nullptr;
  EXPECT_EQ(dispatcher->QueryInterface(EventOnChainThreadCanceled::type, &out), 1);
  EXPECT_EQ(dispatcher->Release(), 0);
}

}  // namespace
