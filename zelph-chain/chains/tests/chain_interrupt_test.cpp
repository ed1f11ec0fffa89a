// chain_interrupt_test.cpp
//
// Interrupting a run from another thread, while status reads go on concurrently, and
// chain text read by several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "recorder_model.h"

namespace zelph::testing {
namespace {

TEST(ChainInterruptTest, InterruptFromAnotherThreadStopsALongRun) {
  for (ExecutionStrategyType type :
       {ExecutionStrategyType::kBase, ExecutionStrategyType::kGraph, ExecutionStrategyType::kRGraph,
        ExecutionStrategyType::kOutputBroadcast}) {
    ChainFixture fixture(type);
    RecorderWorker& slow = fixture.Add("A");
    slow.SetBlocks(true);
    fixture.Add("B");
    fixture.Connect("A", "B");

    std::atomic<bool> done{false};
    std::thread runner([&] {
      fixture.chain->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
      done = true;
    });
    while (!slow.HasStarted()) {
      fixture.chain->GetExecutionStatus();
      std::this_thread::yield();
    }
    fixture.chain->Interrupt();
    runner.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(slow.WasInterrupted());
    EXPECT_EQ(fixture.log->Take(), std::vector<std::string>{"A"});

    // The next run starts over with every worker marked for reset.
    slow.SetBlocks(false);
    for (const auto& worker : fixture.chain->GetWorkers()) worker->SetResetFlag(false);
    EXPECT_EQ(fixture.Run().size(), 2u);
    EXPECT_TRUE(fixture.chain->FindWorker("B")->GetResetFlag());
  }
}

}  // namespace
}  // namespace zelph::testing

namespace zelph::testing {
namespace {

TEST(ChainSerializeTest, ConcurrentReadersEachGetTheWholeText) {
  ChainFixture fixture(ExecutionStrategyType::kBase);
  fixture.Add("A");
  fixture.Add("B");
  fixture.Connect("A", "B");
  const std::string expected = fixture.chain->SerializeAsJson();
  ASSERT_NE(expected.find("\"app\""), std::string::npos);
  std::vector<std::thread> readers;
  std::atomic<int> mismatches{0};
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&] {
      for (int round = 0; round < 20; ++round) {
        if (fixture.chain->SerializeAsJson() != expected) ++mismatches;
      }
    });
  }
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace zelph::testing
