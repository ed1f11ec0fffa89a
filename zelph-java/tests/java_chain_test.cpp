// java_chain_test.cpp
//
// A chain file of Java workers (test models and demo models) read, built and run under each
// execute strategy: matrices, numbers and scalars cross the links between Java workers, the
// file's settings and later changes reach the models, and the outputs come back.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "plugin_environment.h"
#include "plugin_test_support.h"
#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

constexpr const char* kSession = "java-chain";

std::string WorkerId(int n) { return "c4a10000-0000-4000-8000-00000000000" + std::to_string(n); }

class JavaChainTest : public ::testing::TestWithParam<ExecutionStrategyType> {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(LoadedPlugin().result, 0) << LoadedPlugin().log;
    SimplePluginsManager::GetInstance()->RegisterAvailableModels(kSession);
  }

  void SetUp() override {
    chain_->SetSessionId(kSession);
    ASSERT_TRUE(
        ParseChainFile(ZELPH_JAVA_TEST_FIXTURES "/java_chain.json", JsonParser::kMiniJson, chain_));
    ASSERT_EQ(chain_->GetWorkersCount(), 8u);
    for (const auto& worker : chain_->GetWorkers()) {
      ASSERT_FALSE(worker->HasLastError()) << worker->ToString() << ": " << worker->GetLastError();
      worker->SetFlagListener(&outputs_);
    }
    chain_->SetExecutionStrategy(GetParam(), false);
  }

  void TearDown() override {
    for (const auto& worker : chain_->GetWorkers()) worker->SetFlagListener(nullptr);
  }

  IDataProcess& Worker(int n) { return *chain_->FindWorker(WorkerId(n)); }
  void Feed(int worker, const std::string& port, std::shared_ptr<IPortData> data) {
    PortOf(Worker(worker), PortType::input, port)->SetData(std::move(data));
  }
  std::shared_ptr<IPortData> Output(int worker, const std::string& port) {
    return outputs_.Output(WorkerId(worker), port);
  }
  void Run() {
    ASSERT_EQ(chain_->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested),
              Status::kSuccess);
    for (const auto& worker : chain_->GetWorkers()) {
      EXPECT_FALSE(worker->HasLastError()) << worker->ToString() << ": " << worker->GetLastError();
    }
  }

  std::shared_ptr<IDataProcessChain> chain_ = LinkedChain::Create();
  OutputRecorder outputs_;
};

TEST_P(JavaChainTest, DataCrossesBetweenJavaWorkersAndSettingsReachThem) {
  // The chain's inputs are taken by each run, so every run is fed anew.
  const auto feed = [&](const std::string& last_text) {
    Feed(1, "image", Image(2, 2, 1, {0, 10, 200, 255}));
    Feed(3, "values", Doubles({1, -2}, 2));
    Feed(5, "first", Scalar("a"));
    Feed(5, "second", Scalar("b"));
    Feed(6, "second", Scalar(last_text));
    Feed(7, "image", Image(2, 1, 3, {10, 20, 30, 200, 210, 220}));
  };
  feed("c");
  Run();
  // Inverted twice; scaled by the file's 2.5, then 2; joined with the file's separators; grey,
  // then cut at the file's level 100.
  EXPECT_EQ(BytesOf(Output(2, "image")), (std::vector<unsigned char>{0, 10, 200, 255}));
  EXPECT_EQ(BytesOf(Output(1, "image")), (std::vector<unsigned char>{255, 245, 55, 0}));
  EXPECT_EQ(DoublesOf(Output(4, "values")), (std::vector<double>{5, -10}));
  EXPECT_EQ(std::dynamic_pointer_cast<PortDataNumbers>(Output(4, "values"))->GetBlockLength(), 2);
  EXPECT_EQ(TextOf(Output(6, "joined")), "a+b-c");
  EXPECT_EQ(BytesOf(Output(7, "image")), (std::vector<unsigned char>{22, 212}));
  EXPECT_EQ(BytesOf(Output(8, "image")), (std::vector<unsigned char>{0, 255}));

  Worker(4).SetPropertyValue("factor", -1.0);
  Worker(6).SetPropertyValue("separator", std::string(" / "));
  Worker(8).SetPropertyValue("level", 10);
  feed("d");
  Run();
  EXPECT_EQ(DoublesOf(Output(4, "values")), (std::vector<double>{-2.5, 5}));
  EXPECT_EQ(TextOf(Output(6, "joined")), "a+b / d");
  EXPECT_EQ(BytesOf(Output(8, "image")), (std::vector<unsigned char>{255, 255}));
}

INSTANTIATE_TEST_SUITE_P(EveryStrategy, JavaChainTest,
                         ::testing::Values(ExecutionStrategyType::kBase,
                                           ExecutionStrategyType::kGraph,
                                           ExecutionStrategyType::kRGraph,
                                           ExecutionStrategyType::kOutputBroadcast),
                         [](const auto& info) { return ExecutionStrategyToString(info.param); });

}  // namespace
}  // namespace zelph::testing
