// jexecution_block_test.cpp
//
// Workers of Java models, made by the plug-in's models: the order of a run (reset before the
// first execute only), failures recorded with the Java message, trace and class, outputs read
// after a failed execute, inputs a model cannot write, repeat requests, input necessity, visible
// results and previews, status texts, an interrupt from another thread, close() at destruction, and
// a worker whose Java class cannot be a model, which fails cleanly in every operation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "capturing_logger.h"
#include "plugin_environment.h"
#include "plugin_test_support.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/model/property_keys.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kSession = "java-workers";

class JavaWorkerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(LoadedPlugin().result, 0) << LoadedPlugin().log;
    SimplePluginsManager::GetInstance()->RegisterAvailableModels(kSession);
  }

  // A worker of the named model in the fixture's chain.
  std::shared_ptr<IDataProcess> Worker(const std::string& model) {
    auto worker = NewJavaWorker(kSession, model);
    if (worker) chain_->AddWorker(worker);
    return worker;
  }

  std::shared_ptr<IDataProcessChain> chain_ = LinkedChain::Create();
};

TEST_F(JavaWorkerTest, FirstRunResetsThenRunsExecuteOnlyUntilTheResetFlagRisesAgain) {
  auto worker = Worker("Repeat");
  ASSERT_TRUE(worker);
  worker->SetPropertyValue("times", 0);
  EXPECT_TRUE(worker->GetResetFlag());
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_FALSE(worker->GetResetFlag());
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(worker->GetExecutionStatus().full, "reset execute execute");
  EXPECT_EQ(TextOf(PortOf(*worker, PortType::output, "runs")->GetData()), "2");
  worker->SetResetFlag(true);
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(worker->GetExecutionStatus().full, "reset execute execute reset execute");
  EXPECT_FALSE(worker->HasLastError()) << worker->GetLastError();
}

TEST_F(JavaWorkerTest, NeedToRepeatAnswersWhatJavaSaysAndTheChainRepeats) {
  auto worker = Worker("Repeat");
  ASSERT_TRUE(worker);
  worker->SetPropertyValue("times", 2);
  OutputRecorder outputs;
  worker->SetFlagListener(&outputs);
  // The chain runs the worker again while it asks to; every run of the chain starts anew.
  chain_->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
  EXPECT_EQ(TextOf(outputs.Output(worker->GetId(), "runs")), "3");
  EXPECT_FALSE(worker->NeedToRepeat());
  chain_->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
  EXPECT_EQ(worker->GetExecutionStatus().full,
            "reset execute execute execute reset execute execute execute");

  worker->SetResetFlag(true);
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_TRUE(worker->NeedToRepeat());
  worker->SetFlagListener(nullptr);
}

TEST_F(JavaWorkerTest, ThrowingExecuteRecordsTheJavaFailureAndOutputsAreStillRead) {
  auto worker = Worker("Faulty");
  ASSERT_TRUE(worker);
  worker->SetPropertyValue("fail", std::string("execute"));
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(worker->GetError(ErrorKind::kExecution), "execute failed");
  EXPECT_EQ(worker->GetErrorClassName(), "java.lang.IllegalStateException");
  EXPECT_THAT(worker->GetStackTrace(), HasSubstr("java.lang.IllegalStateException: execute failed\n"
                                                 "    net.morvex.executors.tests.Faulty.execute("));
  EXPECT_THAT(worker->GetStackTrace(), HasSubstr("\nCaused by: java.io.IOException: disk gone"));
  EXPECT_EQ(TextOf(PortOf(*worker, PortType::output, "out")->GetData()),
            "written before the failure");
  // A failed run leaves the worker able to run again.
  worker->ResetError(ErrorKind::kExecution);
  worker->SetPropertyValue("fail", std::string(""));
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_FALSE(worker->HasLastError()) << worker->GetLastError();
}

// An input is shared with the cache, other workers and previews: a model that writes it gets
// the Java exception as its error, and every other reader still sees the matrix unchanged.
TEST_F(JavaWorkerTest, ModelThatWritesItsInputFailsAndTheSharedMatrixStaysAsItWas) {
  auto writer = Worker("InputWriter");
  auto reader = Worker("Pass");
  ASSERT_TRUE(writer && reader);
  const auto shared = Image(2, 1, 1, {5, 6});
  PortOf(*writer, PortType::input, "image")->SetData(shared);
  PortOf(*reader, PortType::input, "image")->SetData(shared);
  writer->Execute(ExecutionStage::kRunTime);
  EXPECT_TRUE(writer->HasError(ErrorKind::kExecution));
  EXPECT_EQ(writer->GetErrorClassName(), "java.nio.ReadOnlyBufferException");
  EXPECT_EQ(BytesOf(shared), (std::vector<unsigned char>{5, 6}));
  reader->Execute(ExecutionStage::kRunTime);
  EXPECT_FALSE(reader->HasLastError()) << reader->GetLastError();
  EXPECT_EQ(BytesOf(PortOf(*reader, PortType::output, "image")->GetData()),
            (std::vector<unsigned char>{5, 6}));
}

TEST_F(JavaWorkerTest, FailedResetEndsTheRunBeforeExecuteAndKeepsTheResetFlag) {
  auto worker = Worker("Faulty");
  ASSERT_TRUE(worker);
  worker->SetPropertyValue("fail", std::string("reset"));
  CapturingLogger logger;
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(worker->GetError(ErrorKind::kExecution), "reset failed");
  EXPECT_THAT(logger.Text(), HasSubstr("[error] Failed reset worker state " + worker->ToString()));
  EXPECT_TRUE(worker->GetResetFlag());
  EXPECT_EQ(TextOf(PortOf(*worker, PortType::output, "out")->GetData()), "<none>");
}

TEST_F(JavaWorkerTest, RefusedSettingSkipsExecuteButClearsAndReadsTheOutputs) {
  auto worker = Worker("NumbersScale");
  ASSERT_TRUE(worker);
  Port* input = PortOf(*worker, PortType::input, "values");
  Port* output = PortOf(*worker, PortType::output, "values");
  worker->SetPropertyValue("factor", 3.0);
  input->SetData(Doubles({1, 2.5}));
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(DoublesOf(output->GetData()), (std::vector<double>{3, 7.5}));

  worker->SetPropertyValue("factor", std::numeric_limits<double>::infinity());
  input->SetData(Doubles({1, 2.5}));
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_THAT(worker->GetError(ErrorKind::kUpdateProperty), HasSubstr("factor must be finite"));
  EXPECT_FALSE(worker->HasError(ErrorKind::kExecution));
  ASSERT_TRUE(output->GetData());
  EXPECT_FALSE(output->GetData()->IsInitialized());
}

TEST_F(JavaWorkerTest, SettingsComeFromTheBagThatReplacedTheOldOne) {
  auto worker = Worker("NumbersScale");
  ASSERT_TRUE(worker);
  auto bag = std::make_unique<Property>();
  bag->SetValue("factor", 4.0);
  worker->SetProperties(std::move(bag));  // the old bag is gone
  PortOf(*worker, PortType::input, "values")->SetData(Doubles({2}));
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(DoublesOf(PortOf(*worker, PortType::output, "values")->GetData()),
            (std::vector<double>{8}));
}

TEST_F(JavaWorkerTest, CheckInputNecessaryAnswersTrueFalseNullAndNothingForControlPorts) {
  auto worker = Worker("ScalarJoin");
  ASSERT_TRUE(worker);
  Port* first = PortOf(*worker, PortType::input, "first");
  Port* control = PortOf(*worker, PortType::input_control, "necessary");
  struct Case {
    const char* necessary;
    int answer;
  };
  for (const Case& c : {Case{"true", 1}, Case{"false", 0}, Case{"null", -1}}) {
    worker->SetPropertyValue("necessary", std::string(c.necessary));
    worker->ApplyProperties();
    CapturingLogger logger;
    EXPECT_EQ(worker->CheckInputNecessary(first), c.answer) << c.necessary;
    EXPECT_EQ(worker->CheckInputNecessary(control), -1) << c.necessary;
    EXPECT_THAT(logger.Text(), HasSubstr("[debug] Check input necessary ScalarJoin[first]: " +
                                         std::to_string(c.answer)));
    EXPECT_THAT(logger.Text(),
                HasSubstr("[debug] Check input necessary ScalarJoin[necessary]: -1"));
  }
  EXPECT_FALSE(worker->HasLastError()) << worker->GetLastError();

  auto faulty = Worker("Faulty");
  ASSERT_TRUE(faulty);
  faulty->SetPropertyValue("fail", std::string("check,repeat"));
  faulty->ApplyProperties();
  EXPECT_EQ(faulty->CheckInputNecessary(PortOf(*faulty, PortType::input, "in")), -1);
  EXPECT_EQ(faulty->GetError(ErrorKind::kExecution), "check failed");
  EXPECT_FALSE(faulty->NeedToRepeat());
  EXPECT_EQ(faulty->GetError(ErrorKind::kExecution), "repeat failed");
}

TEST_F(JavaWorkerTest, VisibleResultsAndPreviewsComeFromAPortOrFromThePreviewable) {
  auto invert = Worker("MatInvert");
  ASSERT_TRUE(invert);
  Port* output = PortOf(*invert, PortType::output, "image");
  PortOf(*invert, PortType::input, "image")->SetData(Image(2, 1, 1, {0, 200}));
  invert->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(invert->GetVisibleResultsInformation(),
            R"({"model":"Image","ports":[{"id":")" + output->GetId() + R"("}]})");
  EXPECT_EQ(BytesOf(invert->CreatePreview()), (std::vector<unsigned char>{255, 55}));

  auto preview = Worker("Preview");
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->GetVisibleResultsInformation(), "{}");
  const auto drawn = std::dynamic_pointer_cast<PortDataMat>(preview->CreatePreview());
  ASSERT_TRUE(drawn);
  EXPECT_EQ(drawn->GetWidth(), 2u);
  EXPECT_EQ(BytesOf(drawn), (std::vector<unsigned char>{7, 9}));

  // A model that shows nothing has no preview, and that is no failure.
  auto none = Worker("NoOp");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->CreatePreview(), nullptr);
  auto faulty = Worker("Faulty");
  ASSERT_TRUE(faulty);
  faulty->SetPropertyValue("fail", std::string("visible"));
  faulty->ApplyProperties();
  EXPECT_EQ(faulty->GetVisibleResultsInformation(), "{}");
  EXPECT_EQ(faulty->CreatePreview(), nullptr);
  EXPECT_EQ(faulty->GetError(ErrorKind::kExecution), "visible failed");
  EXPECT_FALSE(none->HasLastError() || invert->HasLastError() || preview->HasLastError());
}

TEST_F(JavaWorkerTest, StatusTextsComeFromTheSixCodesInOrder) {
  auto worker = Worker("Repeat");
  ASSERT_TRUE(worker);
  const ExecutionStatus status = worker->GetExecutionStatus();
  EXPECT_EQ(status.full, "");
  EXPECT_EQ(status.information, "status 2");
  EXPECT_EQ(status.messages, "status 3");
  EXPECT_EQ(status.comments, "status 4");
  EXPECT_EQ(status.json, "status -1");
  EXPECT_EQ(status.custom_json, "status -2");

  auto faulty = Worker("Faulty");
  ASSERT_TRUE(faulty);
  faulty->SetPropertyValue("fail", std::string("status"));
  faulty->ApplyProperties();
  // The Java failure leaves the plug-in as jni::JavaException, a std::runtime_error.
  EXPECT_THROW(faulty->GetExecutionStatus(), std::runtime_error);
}

TEST_F(JavaWorkerTest, WorkingDirectoryIsJavasOnly) {
  auto worker = Worker("NoOp");
  ASSERT_TRUE(worker);
  EXPECT_EQ(worker->GetCurrentDir(), "");
  worker->SetCurrentDir("/tmp/models");
  EXPECT_EQ(worker->GetCurrentDir(), "/tmp/models");
  EXPECT_FALSE(worker->GetProperties()->HasValue("$__system.working_directory"));
}

TEST_F(JavaWorkerTest, InterruptFromAnotherThreadStopsARunningModel) {
  auto worker = Worker("Slow");
  ASSERT_TRUE(worker);
  std::promise<void> finished;
  std::thread run([&] {
    chain_->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
    finished.set_value();
  });
  // The interrupt must reach execute() itself: a run clears the request just before it.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (worker->GetExecutionStatus().full != "running" &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  chain_->Interrupt();
  const bool stopped =
      finished.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  if (!stopped) {
    run.detach();
    FAIL() << "the model did not stop";
  }
  run.join();
  EXPECT_EQ(worker->GetExecutionStatus().full, "stopped");
  EXPECT_FALSE(worker->HasLastError()) << worker->GetLastError();
}

TEST_F(JavaWorkerTest, CloseThatThrowsWhenTheWorkerGoesIsLogged) {
  auto worker = NewJavaWorker(kSession, "Faulty");
  ASSERT_TRUE(worker);
  worker->SetPropertyValue("fail", std::string("close"));
  worker->ApplyProperties();
  const std::string name = worker->ToString();
  CapturingLogger logger;
  worker.reset();
  EXPECT_THAT(logger.Text(), HasSubstr("[debug] JExecutionBlock ~dctor"));
  EXPECT_THAT(logger.Text(), HasSubstr("[error] Failed close " + name +
                                       ": java.lang.IllegalStateException: close failed"));
}

TEST_F(JavaWorkerTest, RunWithoutChainRecordsThatItHasNone) {
  auto worker = NewJavaWorker(kSession, "Repeat");
  ASSERT_TRUE(worker);
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(worker->GetError(ErrorKind::kExecution), "Chain not available");
  EXPECT_EQ(worker->GetExecutionStatus().full, "");  // nothing reached Java
}

TEST_F(JavaWorkerTest, InitializationErrorFromOutsideStopsTheWorkerForGood) {
  auto worker = Worker("Repeat");
  ASSERT_TRUE(worker);
  worker->SetError(ErrorKind::kExecution, "only a run", "", "");
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(worker->GetExecutionStatus().full, "reset execute");
  worker->SetError(ErrorKind::kInitialization, "stopped from outside", "", "");
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_EQ(worker->GetExecutionStatus().full, "");  // Java is not asked any more
}

// A worker of a description whose Java class (java.lang.Object) cannot be a model: its
// initialisation fails, and every later operation must neither call Java nor crash.
TEST_F(JavaWorkerTest, WorkerWhoseClassIsNoModelFailsCleanlyInEveryOperation) {
  CapturingLogger logger;
  auto worker = Worker("NotAModel");
  ASSERT_TRUE(worker) << logger.Text();
  EXPECT_EQ(worker->GetError(ErrorKind::kInitialization),
            "Java method not found 'execute' with signature '()V'");
  // It keeps the ports of its description, so chain files and links still find them.
  Port* input = PortOf(*worker, PortType::input, "image");
  PortOf(*worker, PortType::output, "image");
  PortOf(*worker, PortType::input_control, "level");

  input->SetData(Image(1, 1, 1, {5}));
  worker->SetPropertyValue("level", 2);
  worker->ApplyProperties();
  worker->Execute(ExecutionStage::kRunTime);
  EXPECT_FALSE(worker->HasError(ErrorKind::kExecution));
  EXPECT_FALSE(worker->NeedToRepeat());
  EXPECT_FALSE(worker->Reset());
  EXPECT_EQ(worker->CheckInputNecessary(input), -1);
  EXPECT_EQ(worker->GetVisibleResultsInformation(), "{}");
  EXPECT_EQ(worker->CreatePreview(), nullptr);
  const ExecutionStatus status = worker->GetExecutionStatus();
  EXPECT_EQ(status.full + status.information + status.json, "");
  worker->SetContextId(7);
  worker->SetContextName("name");
  worker->SetContextPath("path");
  worker->SetCurrentDir("/tmp");
  EXPECT_EQ(worker->GetCurrentDir(), "");
  worker->SetVisibleResultNecessary(true);
  worker->SetAllOutputsNecessary(true);
  worker->Interrupt();
  EXPECT_FALSE(worker->HasError(ErrorKind::kExecution));
  chain_->Clear();
  worker.reset();  // destroyed without any Java call
}

}  // namespace
}  // namespace zelph::testing
