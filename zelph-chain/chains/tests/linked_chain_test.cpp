// linked_chain_test.cpp
//
// Runs of a linked chain: repeat and step flows, single workers, failures and exceptions,
// the flag listener and the ready-to-execute event; properties that switch the strategy or
// run commands; links and their ownership.
#include <gtest/gtest.h>

#include <stdexcept>
#include <variant>

#include "recorder_model.h"
#include "zelph/model/event.h"
#include "zelph/model/event_bus.h"
#include "zelph/model/link.h"
#include "zelph/model/property_keys.h"

namespace zelph::testing {
namespace {

using Log = std::vector<std::string>;

constexpr ExecutionStrategyType kStrategies[] = {
    ExecutionStrategyType::kBase, ExecutionStrategyType::kGraph, ExecutionStrategyType::kRGraph,
    ExecutionStrategyType::kOutputBroadcast};

void BuildLine(ChainFixture& fixture) {
  fixture.Add("A");
  fixture.Add("B").SetRepeatOnce(true);
  fixture.Add("C");
  fixture.Connect("A", "B");
  fixture.Connect("B", "C");
}

bool AllResetFlags(ChainFixture& fixture) {
  for (const auto& worker : fixture.chain->GetWorkers()) {
    if (!worker->GetResetFlag()) return false;
  }
  return true;
}

TEST(LinkedChainTest, RepeatRequestRunsTheListAgainThenResetsEveryWorker) {
  const Log pass = {"A", "B(input:A)", "C(input:B)"};
  for (ExecutionStrategyType type : kStrategies) {
    ChainFixture fixture(type);
    BuildLine(fixture);
    Log twice = pass;
    twice.insert(twice.end(), pass.begin(), pass.end());
    EXPECT_EQ(fixture.Run(), twice) << ExecutionStrategyToString(type);
    EXPECT_TRUE(AllResetFlags(fixture)) << ExecutionStrategyToString(type);
  }
}

TEST(LinkedChainTest, StepRunsTheListOnceAndLeavesRepeatingWorkersUnreset) {
  for (ExecutionStrategyType type : kStrategies) {
    ChainFixture fixture(type);
    BuildLine(fixture);
    EXPECT_EQ(fixture.Run(ExecutionStage::kRunTime, ExecutionFlow::kStep),
              (Log{"A", "B(input:A)", "C(input:B)"}))
        << ExecutionStrategyToString(type);
    EXPECT_FALSE(AllResetFlags(fixture)) << ExecutionStrategyToString(type);
    // The next step starts a fresh pass.
    EXPECT_EQ(fixture.Run(ExecutionStage::kRunTime, ExecutionFlow::kStep).size(), 3u);
  }
}

TEST(LinkedChainTest, ExecuteWorkerRunsOneWorkerAndKeepsItCurrent) {
  ChainFixture fixture(ExecutionStrategyType::kGraph);
  fixture.Add("A");
  fixture.Add("B");
  fixture.chain->ExecuteWorker("B");
  EXPECT_EQ(fixture.log->Take(), Log{"B"});
  fixture.chain->ExecuteWorker("missing");
  EXPECT_TRUE(fixture.log->Take().empty());
}

TEST(LinkedChainTest, PortsAreEmptiedAfterEachWorker) {
  ChainFixture fixture(ExecutionStrategyType::kBase);
  fixture.Add("A");
  fixture.Add("B");
  fixture.Connect("A", "B");
  fixture.Run();
  for (const auto& worker : fixture.chain->GetWorkers()) {
    for (Port* port : worker->GetPorts()) EXPECT_EQ(port->GetData(), nullptr) << port->GetName();
  }
}

class ExceptionActionTest : public ::testing::Test {
 protected:
  void TearDown() override { ZelphConfig::GetInstance()->SetExceptionAction("inhert"); }
};

TEST_F(ExceptionActionTest, FailedWorkerStopsTheRunUnlessExceptionsAreIgnored) {
  struct Case {
    const char* action;
    bool chain_ignores;
    Log expected;
  };
  const Case cases[] = {
      {"inhert", false, {"A"}},
      {"inhert", true, {"A", "B"}},
      {"interrupt", true, {"A"}},
      {"ignore", false, {"A", "B"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(ZelphConfig::GetInstance()->SetExceptionAction(c.action));
    ChainFixture fixture(ExecutionStrategyType::kBase);
    fixture.Add("A").SetFails(true);
    fixture.Add("B");
    fixture.chain->SetExecutionOption(chain::ExecutionOption::kIgnoreExceptions, c.chain_ignores);
    EXPECT_EQ(fixture.Run(), c.expected) << c.action << " " << c.chain_ignores;
    EXPECT_EQ(fixture.last_status, Status::kSuccess);
  }
}

struct RecordingChainListener : chain::FlagListener {
  void OnChangeFlag(std::shared_ptr<IDataProcessChain>, int old_flags, int new_flags) override {
    changes.emplace_back(old_flags, new_flags);
  }
  std::vector<std::pair<int, int>> changes;
};

TEST(LinkedChainTest, WorkerExceptionReachesTheCallerWithTheExecutingFlagCleared) {
  ChainFixture fixture(ExecutionStrategyType::kBase);
  RecordingChainListener listener;
  fixture.chain->SetFlagListener(&listener);
  fixture.Add("A").SetThrows(true);
  fixture.Add("B");
  EXPECT_THROW(
      fixture.chain->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested),
      std::runtime_error);
  EXPECT_FALSE(fixture.chain->IsFlag(chain::Flag::kExecuting));
  EXPECT_EQ(listener.changes, (std::vector<std::pair<int, int>>{{0, 2}, {2, 0}}));
  EXPECT_EQ(fixture.log->Take(), Log{"A"});
  fixture.chain->SetFlagListener(nullptr);
}

class StageObserver : public IObserver, public Referable {
 public:
  void OnEvent(IEvent* event) override {
    if (EventOnChainReadyToExecute::Equals(event)) {
      stages.push_back(static_cast<EventOnChainReadyToExecute*>(event)->GetExecutionStage());
    }
  }
  int QueryInterface(const boost::uuids::uuid&, void**) override { return 1; }
  std::vector<ExecutionStage> stages;
};

TEST(LinkedChainTest, EveryRunDispatchesReadyToExecuteAlsoWhenRefused) {
  StageObserver observer;
  EventBusSubscribe(EventOnChainReadyToExecute::type, &observer);
  ChainFixture empty(ExecutionStrategyType::kBase);
  EXPECT_EQ(empty.chain->Execute(ExecutionStage::kLoadingTime, ExecutionFlow::kStep),
            Status::kSuccess);
  ChainFixture looped(ExecutionStrategyType::kGraph);
  looped.Add("A");
  looped.Connect("A", "A");
  EXPECT_EQ(looped.chain->Execute(ExecutionStage::kRunTime, ExecutionFlow::kStep),
            Status::kPrepareRefused);
  EventBusUnsubscribe(EventOnChainReadyToExecute::type, &observer);
  EXPECT_EQ(observer.stages,
            (std::vector<ExecutionStage>{ExecutionStage::kLoadingTime, ExecutionStage::kRunTime}));
}

TEST(LinkedChainTest, PropertiesSwitchTheStrategyAndRunCommands) {
  ChainFixture fixture(ExecutionStrategyType::kBase);
  auto* chain = dynamic_cast<LinkedChain*>(fixture.chain.get());
  Property* properties = chain->GetProperties();
  properties->SetValue("execution.strategy", std::string("unknown"));
  properties->SetValue(tmp::kCommand, std::string("interrupt"));
  chain->UpdateChangedProperties();
  EXPECT_EQ(chain->GetExecutionStrategyType(), ExecutionStrategyType::kRGraph);
  EXPECT_TRUE(chain->GetInterruptFlag());
  int still_marked = 0;
  properties->ForEach(
      [&](const std::string&, PropertyValue& value) { still_marked += value.changed; });
  EXPECT_EQ(still_marked, 0);

  properties->SetValue(tmp::kCommand, std::string("execute"));
  chain->UpdateChangedProperties();
  EXPECT_EQ(chain->CurrentCommand(), ChainCommand::kExecuteOnce);

  properties->SetValue("execution.strategy", 1);
  EXPECT_THROW(chain->UpdateChangedProperties(), std::bad_variant_access);
}

TEST(LinkedChainTest, SavedStrategyChangeIsStoredOnlyForANewType) {
  ZelphConfig::GetInstance()->SetExecuteStrategyType(ExecutionStrategyType::kGraph);
  auto chain = LinkedChain::Create();
  ZelphConfig::GetInstance()->SetExecuteStrategyType(ExecutionStrategyType::kBase);
  EXPECT_EQ(chain->GetExecutionStrategyType(), ExecutionStrategyType::kGraph);
  chain->SetExecutionStrategy(ExecutionStrategyType::kGraph, true);
  EXPECT_FALSE(chain->GetProperties()->GetValue("execution.strategy"));
  chain->SetExecutionStrategy(ExecutionStrategyType::kBase, true);
  EXPECT_EQ(chain->GetProperties()->GetValueAsString("execution.strategy", ""), "base");
}

TEST(LinkedChainTest, RemovedLinkStaysReadableAndOwnedUntilClear) {
  ChainFixture fixture(ExecutionStrategyType::kBase);
  fixture.Add("A");
  fixture.Add("B");
  Link* link = fixture.Connect("A", "B");
  const std::string id = link->GetId();
  EXPECT_EQ(fixture.chain->FindLink(id), link);
  EXPECT_EQ(fixture.chain->RemoveLink(id), Status::kSuccess);
  EXPECT_EQ(fixture.chain->GetLinksCount(), 0u);
  EXPECT_EQ(link->GetId(), id);
  EXPECT_FALSE(link->GetSrcWorker());
  EXPECT_EQ(fixture.Run(), (Log{"A", "B"}));
  fixture.chain->Clear();
  EXPECT_EQ(fixture.chain->GetWorkersCount(), 0u);
  EXPECT_TRUE(fixture.chain->GetId().empty());
}

}  // namespace
}  // namespace zelph::testing
