// chain_interrupt_test.cpp
//
// Interrupting a run from another thread, while status reads go on concurrently.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "recorder_model.h"

namespace zelph::testing {
namespace {

TEST(ChainInterruptTest, InterruptFromAnotherThreadStopsALongRun) {
  for (ExecutionStrategyType type :
       {ExecutionStrategyType::kBase, ExecutionStrategyType::kGraph,
        ExecutionStrategyType::kRGraph, ExecutionStrategyType::kOutputBroadcast}) {
    ChainFixture fixture(type);
    RecorderWorker& slow = fixture.Add("A");
    slow.SetBlocks(true);
    fixture.Add("B");
    fixture.Connect("A", "B");

    std::atomic<bool> done{false};
    std::thread runner([&] {
      fixture.Run();
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
