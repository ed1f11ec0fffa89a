// strategy_order_test.cpp
//
// The order in which each execute strategy runs small chains, and what each input received.
// Entries are "<worker>(<input port>:<source> ...)"; "refused" marks a run the strategy
// refused to prepare, "|" separates the runs of a chain run at more than one stage.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "recorder_model.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"

namespace zelph::testing {
namespace {

constexpr std::array<ExecutionStrategyType, 4> kStrategies = {
    ExecutionStrategyType::kBase, ExecutionStrategyType::kGraph, ExecutionStrategyType::kRGraph,
    ExecutionStrategyType::kOutputBroadcast};

using Log = std::vector<std::string>;

struct Case {
  const char* name;
  std::function<void(ChainFixture&)> build;
  std::vector<ExecutionStage> stages;
  // Per strategy, in the order of kStrategies.
  std::array<Log, 4> expected;
};

const std::vector<ExecutionStage> kRunTimeOnly = {ExecutionStage::kRunTime};

const std::vector<Case> kCases = {
    {"line listed against its dependencies",
     [](ChainFixture& f) {
       f.Add("C");
       f.Add("B");
       f.Add("A");
       f.Connect("A", "B");
       f.Connect("B", "C");
     },
     kRunTimeOnly,
     {Log{"A", "B(input:A)", "C(input:B)"}, Log{"A", "B(input:A)", "C(input:B)"},
      Log{"A", "B(input:A)", "C(input:B)"}, Log{"A", "B(input:A)", "C(input:B)"}}},
    {"workers without links",
     [](ChainFixture& f) {
       f.Add("A");
       f.Add("B");
       f.Add("C");
     },
     kRunTimeOnly,
     {Log{"A", "B", "C"}, Log{"C", "B", "A"}, Log{"C", "B", "A"}, Log{"A", "B", "C"}}},
    {"fork and join",
     [](ChainFixture& f) {
       for (const char* name : {"A", "B", "C", "D"}) f.Add(name);
       f.Connect("A", "B");
       f.Connect("A", "C");
       f.Connect("B", "D");
       f.Connect("C", "D", "output", "second");
     },
     kRunTimeOnly,
     {Log{"A", "B(input:A)", "C(input:A)", "D(input:B second:C)"},
      Log{"A", "C(input:A)", "B(input:A)", "D(input:B second:C)"},
      Log{"A", "C(input:A)", "B(input:A)", "D(input:B second:C)"},
      Log{"A", "B(input:A)", "C(input:A)", "D(input:B second:C)"}}},
    {"two links between one pair of workers",
     [](ChainFixture& f) {
       f.Add("A");
       f.Add("B");
       f.Connect("A", "B");
       f.Connect("A", "B", "extra", "second");
     },
     kRunTimeOnly,
     {Log{"A", "B(input:A second:A)"}, Log{"A", "B(input:A second:A)"},
      Log{"A", "B(input:A second:A)"}, Log{"A", "B(input:A second:A)"}}},
    {"disabled worker in a line",
     [](ChainFixture& f) {
       for (const char* name : {"A", "B", "C"}) f.Add(name);
       f.Connect("A", "B");
       f.Connect("B", "C");
       f.Disable("B");
     },
     kRunTimeOnly,
     {Log{"A", "B(input:A)", "C(input:B)"}, Log{"A"}, Log{"C", "A"}, Log{"A", "C"}}},
    {"two workers in a loop",
     [](ChainFixture& f) {
       f.Add("A");
       f.Add("B");
       f.Connect("A", "B");
       f.Connect("B", "A");
     },
     kRunTimeOnly,
     {Log{}, Log{"refused"}, Log{"refused"}, Log{"refused"}}},
    {"worker linked to itself",
     [](ChainFixture& f) {
       f.Add("A");
       f.Connect("A", "A");
     },
     kRunTimeOnly,
     {Log{}, Log{"refused"}, Log{"refused"}, Log{"refused"}}},
    {"loading-time worker feeding a run-time worker, both stages",
     [](ChainFixture& f) {
       f.Add("L", kLoadingRecorderModel);
       f.Add("R");
       f.Connect("L", "R");
     },
     {ExecutionStage::kLoadingTime, ExecutionStage::kRunTime},
     {Log{"L", "R(input:L)", "|", "L", "R(input:L)"}, Log{"L", "|"}, Log{"L", "|", "R"},
      Log{"L", "|", "R(input:L)"}}},
};

Log RunCase(const Case& c, ExecutionStrategyType type) {
  ChainFixture fixture(type);
  c.build(fixture);
  Log log;
  for (size_t i = 0; i < c.stages.size(); ++i) {
    if (i > 0) log.push_back("|");
    Log run = fixture.Run(c.stages[i]);
    if (fixture.last_status == Status::kPrepareRefused) run.push_back("refused");
    log.insert(log.end(), run.begin(), run.end());
  }
  return log;
}

TEST(StrategyOrderTest, EachStrategyRunsTheTableInItsOrder) {
  for (const Case& c : kCases) {
    for (size_t s = 0; s < kStrategies.size(); ++s) {
      EXPECT_EQ(RunCase(c, kStrategies[s]), c.expected[s])
          << c.name << ", strategy " << ExecutionStrategyToString(kStrategies[s]);
    }
  }
}

TEST(StrategyOrderTest, BaseRunsALongChainListedAgainstItsDependencies) {
  ChainFixture fixture(ExecutionStrategyType::kBase);
  constexpr int kCount = 150;
  for (int i = kCount - 1; i >= 0; --i) fixture.Add("W" + std::to_string(i));
  for (int i = 0; i + 1 < kCount; ++i) {
    fixture.Connect("W" + std::to_string(i), "W" + std::to_string(i + 1));
  }
  Log expected{"W0"};
  for (int i = 1; i < kCount; ++i) {
    expected.push_back("W" + std::to_string(i) + "(input:W" + std::to_string(i - 1) + ")");
  }
  EXPECT_EQ(fixture.Run(), expected);
}

// Removes a link from the chain as soon as the worker it listens to starts running.
struct RemoveLinkOnStart : worker::ChangeFlagListener {
  IDataProcessChain* chain = nullptr;
  std::string link_id;
  void OnChangeFlag(std::shared_ptr<IDataProcess>, int, int) override {
    if (!link_id.empty()) chain->RemoveLink(std::exchange(link_id, {}));
  }
};

TEST(StrategyOrderTest, LinkRemovedDuringARunCarriesNothing) {
  for (ExecutionStrategyType type : kStrategies) {
    ChainFixture fixture(type);
    fixture.Add("A");
    fixture.Add("B");
    fixture.Add("C");
    fixture.Connect("A", "B");
    RemoveLinkOnStart listener;
    listener.chain = fixture.chain.get();
    listener.link_id = fixture.Connect("B", "C")->GetId();
    fixture.Worker("B").SetFlagListener(&listener);
    const Log log = fixture.Run();
    EXPECT_EQ(std::count(log.begin(), log.end(), "C(input:B)"), 0)
        << ExecutionStrategyToString(type);
    EXPECT_EQ(std::count(log.begin(), log.end(), "B(input:A)"), 1)
        << ExecutionStrategyToString(type);
    fixture.Worker("B").SetFlagListener(nullptr);
  }
}

TEST(StrategyOrderTest, LinkToAWorkerNoLongerInTheChainIsIgnored) {
  for (ExecutionStrategyType type : kStrategies) {
    ChainFixture fixture(type);
    fixture.Add("A");
    fixture.Add("X");
    fixture.Connect("A", "X");
    fixture.chain->RemoveWorker(fixture.chain->FindWorker("X")->GetUuid());
    EXPECT_EQ(fixture.Run(), Log{"A"}) << ExecutionStrategyToString(type);
    EXPECT_EQ(fixture.last_status, Status::kSuccess);
  }
}

TEST(StrategyOrderTest, GraphKeepsOnlyTheBranchTheRedirectorChooses) {
  struct RedirectCase {
    long long redirector;
    Log expected;
  };
  const RedirectCase cases[] = {
      {2, {"R", "C(input:R)"}},
      {0, {"R", "C(input:R)", "B(input:R)"}},
      {3, {"R", "C(input:R)", "B(input:R)"}},
  };
  for (const auto& c : cases) {
    ChainFixture fixture(ExecutionStrategyType::kGraph);
    fixture.Add("R", kRedirectingModel).GetProperties()->SetValue("redirector", c.redirector);
    fixture.Add("B");
    fixture.Add("C");
    fixture.Connect("R", "B");
    fixture.Connect("R", "C", "extra", "input");
    EXPECT_EQ(fixture.Run(), c.expected) << "redirector " << c.redirector;
  }
}

TEST(StrategyOrderTest, GraphNeverSwitchesOffAKeptModelOrAWorkerWithAnotherActiveInput) {
  ChainFixture fixture(ExecutionStrategyType::kGraph);
  fixture.Add("A");
  fixture.Add("Off");
  fixture.Add("K", kKeptModel);
  fixture.Add("J");
  fixture.Connect("Off", "K");
  fixture.Connect("Off", "J");
  fixture.Connect("A", "J", "output", "second");
  fixture.Disable("Off");
  EXPECT_EQ(fixture.Run(), (Log{"K", "A", "J(second:A)"}));
}

TEST(StrategyOrderTest, ReverseGraphFeedsASpecialWorkerOnlyThroughNeededInputs) {
  ChainFixture fixture(ExecutionStrategyType::kRGraph);
  fixture.Add("A");
  fixture.Add("B").SetInputNecessary(0);
  fixture.Connect("A", "B");
  // B needs none of its inputs: A is never pulled in and nothing reaches B.
  EXPECT_EQ(fixture.Run(), Log{"B"});
}

}  // namespace
}  // namespace zelph::testing
