// Two workers of the test model, linked by hand and executed in turn, as a chain runs them:
// run the first, transmit along its links, drop the ports' data pointers, run the next.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "test_model.h"
#include "zelph/model/link.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"

namespace zelph::testing {
namespace {

struct TwoWorkers {
  std::shared_ptr<TestWorker> first;
  std::shared_ptr<TestWorker> second;
  Link data_link;
  Link parameter_link;

  explicit TwoWorkers(Script second_script)
      : first(MakeTestWorker(Script::kPassThrough)), second(MakeTestWorker(second_script)) {
    data_link = Link(first, first->FindPortByName(PortType::output, "output", false), second,
                     second->FindPortByName(PortType::input, "input", false));
    parameter_link = Link(first, first->FindPortByName(PortType::output_control, "count", false),
                          second, second->FindPortByName(PortType::input_control, "count", false));
  }

  // Runs both workers in turn; returns what the second one's output holds afterwards.
  std::shared_ptr<IPortData> Run(std::shared_ptr<IPortData> input) {
    first->FindPortByName(PortType::input, "input", false)->SetData(std::move(input));
    for (const auto& worker : {first, second}) {
      worker->ResetError(ErrorKind::kExecution);
      worker->Execute(ExecutionStage::kRunTime);
      if (worker == first) {
        data_link.TransmitDataIfNecessary();
        parameter_link.TransmitDataIfNecessary();
      }
    }
    auto output = second->FindPortByName(PortType::output, "output", false)->GetData();
    for (const auto& worker : {first, second}) {
      worker->CleanUpPorts(PortType::input);
      worker->CleanUpPorts(PortType::output);
    }
    return output;
  }
};

std::shared_ptr<IPortData> Matrix() {
  const size_t dims[] = {4, 3};
  return std::make_shared<PortDataMat>(dims, 2, kDepth8U, 3);
}

std::shared_ptr<IPortData> Numbers() {
  auto numbers = std::make_shared<PortDataNumbers>();
  const double values[] = {1.5, 2.5, 3.5};
  numbers->SetDataAndCopy(reinterpret_cast<const char*>(values), sizeof(values),
                          DataTypeDouble::GetInstance());
  return numbers;
}

TEST(WorkerChainTest, DataAndParametersPassFromWorkerToWorker) {
  const std::shared_ptr<IPortData> inputs[] = {Matrix(), Numbers(),
                                               std::make_shared<PortDataScalar>(std::string("42"))};
  for (const auto& input : inputs) {
    SCOPED_TRACE(input->ToString());
    TwoWorkers workers(Script::kPassThrough);
    workers.first->SetPropertyValue("count", 7);
    RecordingListener listener;
    workers.second->SetFlagListener(&listener);
    auto output = workers.Run(input);
    // The very object, not a copy, and still intact after the ports let go of it.
    EXPECT_EQ(output, input);
    EXPECT_TRUE(input->IsInitialized());
    EXPECT_EQ(workers.second->GetPropertyInt32("count", 0), 7);
    EXPECT_EQ(listener.changes.size(), 2u);
  }
}

TEST(WorkerChainTest, RepeatOnceAsksForOneMoreRun) {
  TwoWorkers workers(Script::kRepeatOnce);
  workers.Run(std::make_shared<PortDataScalar>(1));
  EXPECT_TRUE(workers.second->NeedToRepeat());
  workers.Run(std::make_shared<PortDataScalar>(2));
  EXPECT_FALSE(workers.second->NeedToRepeat());
  EXPECT_EQ(workers.second->GetRunCount(), 2);
}

TEST(WorkerChainTest, FailingWorkerRecordsItsErrorAndThrowsNothing) {
  CapturingLogger log;
  TwoWorkers workers(Script::kFailing);
  EXPECT_NO_THROW(workers.Run(Numbers()));
  EXPECT_TRUE(workers.second->HasError(ErrorKind::kExecution));
  EXPECT_EQ(workers.second->GetLastError(), kScriptedFailure);
  EXPECT_EQ(workers.second->GetErrorClassName(), kScriptedErrorClass);
  EXPECT_FALSE(workers.first->HasLastError());
}

}  // namespace
}  // namespace zelph::testing
