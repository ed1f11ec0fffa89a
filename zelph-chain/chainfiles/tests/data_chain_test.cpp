// data_chain_test.cpp
#include "zelph/chainfiles/data_chain.h"

#include <gtest/gtest.h>

namespace zelph {
namespace {

TEST(DataChainTest, DefaultsAndTexts) {
  DataChain chain;
  EXPECT_EQ(chain.strategy, "rgraph");
  EXPECT_FALSE(chain.all || chain.multithreading || chain.ignore_exceptions);
  EXPECT_EQ(DataPort().kind, 5);
  DataWorker worker;
  EXPECT_EQ(worker.execution_stage, ExecutionStage::kRunTime);
  EXPECT_EQ(worker.ToString(), "name: , id: , executor id: ");
  DataLink link;
  link.SetId("l");
  link.SetSrcPortId("a");
  link.SetDstPortId("b");
  EXPECT_EQ(link.ToString(), "link id: l, src: a, dst: b");
}

TEST(DataChainTest, PortKindsAndStagesMapLikeTheFormat) {
  struct Case {
    int given;
    int stored;
  };
  for (const Case& c : {Case{0, 5}, Case{1, 1}, Case{4, 4}, Case{6, 5}, Case{-1, 5}}) {
    DataPort port;
    port.SetKind(c.given);
    EXPECT_EQ(port.kind, c.stored) << c.given;
  }
  struct StageCase {
    const char* text;
    ExecutionStage stage;
  };
  for (const StageCase& c :
       {StageCase{"loading_time", ExecutionStage::kLoadingTime},
        StageCase{"kLoadingTime", ExecutionStage::kLoadingTime},
        StageCase{"kRunTime", ExecutionStage::kRunTime},
        StageCase{"Run_Time", ExecutionStage::kUnknown}, StageCase{"", ExecutionStage::kUnknown}}) {
    DataWorker worker;
    worker.SetExecutionStage(c.text);
    EXPECT_EQ(worker.execution_stage, c.stage) << c.text;
  }
}

TEST(DataChainTest, ChangePortIdRenamesBothEndsOfEveryLink) {
  DataChain chain;
  chain.links.resize(2);
  chain.links[0].src_port_id = chain.links[0].dst_port_id = "old";
  chain.links[1].src_port_id = "other";
  chain.ChangePortId("old", "new");
  chain.ChangePortId("missing", "x");
  EXPECT_EQ(chain.links[0].src_port_id, "new");
  EXPECT_EQ(chain.links[0].dst_port_id, "new");
  EXPECT_EQ(chain.links[1].src_port_id, "other");
}

TEST(DataChainTest, MovedChainKeepsItsWorkersAndBags) {
  DataChain chain;
  chain.workers.emplace_back();
  chain.workers[0].properties.SetValue("k", 1);
  chain.properties.SetValue("p", std::string("v"));
  DataChain moved(std::move(chain));
  ASSERT_EQ(moved.workers.size(), 1u);
  EXPECT_TRUE(moved.workers[0].properties.HasValue("k"));
  EXPECT_TRUE(moved.properties.HasValue("p"));
}

}  // namespace
}  // namespace zelph
