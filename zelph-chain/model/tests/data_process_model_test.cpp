// Models: worker creation, ids and sessions; the placeholder worker of a missing model.
#include <gtest/gtest.h>

#include <boost/uuid/uuid.hpp>

#include <stdexcept>

#include "capturing_logger.h"
#include "test_model.h"
#include "zelph/model/data_process_unknown.h"

namespace zelph::testing {
namespace {

TEST(ModelTest, CreatesWorkersWithIdsAndSessions) {
  auto model = MakeTestModel(Script::kNoOp);
  auto random = model->CreateAndInitializeWorker(model, "Project-A");
  ASSERT_TRUE(random);
  EXPECT_EQ(random->GetUuid().version(), boost::uuids::uuid::version_random_number_based);
  EXPECT_EQ(random->GetSessionId(), "Project-A");  // the worker's session is not lower-cased
  EXPECT_EQ(random->GetModel(), model);
  EXPECT_EQ(random->GetName(), "NoOp");

  model->SetSessionId("Project-A");
  EXPECT_EQ(model->GetSessionId(), "project-a");
  EXPECT_EQ(model->GetId(), "5e0d0000-0000-4000-8000-000000000001");
  EXPECT_EQ(model->ToString(), "test.NoOp uuid: 5e0d0000-0000-4000-8000-000000000001 [2] role: ");
  EXPECT_EQ(ToLower("AbC-\xC4Z"), "abc-\xC4z");
}

TEST(ModelTest, BadWorkerIdReachesTheCallerUnlogged) {
  CapturingLogger log;
  auto model = MakeTestModel(Script::kNoOp);
  try {
    model->CreateAndInitializeWorker(model, "worker-7", "s");
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "invalid uuid string");
  }
  EXPECT_EQ(log.Text(), "");
}

class FailingInitWorker : public TestWorker {
 public:
  explicit FailingInitWorker(const boost::uuids::uuid& id) : TestWorker(id, Script::kNoOp) {}
  void Initialize() override { throw std::runtime_error("no {resources}"); }
};

TEST(ModelTest, FailingInitializationLogsAndGivesNoWorker) {
  CapturingLogger log;
  auto model = DataProcessModelBase::Create(
      [](const boost::uuids::uuid& id) -> std::shared_ptr<IDataProcess> {
        return std::make_shared<FailingInitWorker>(id);
      });
  EXPECT_FALSE(model->CreateAndInitializeWorker(model, "s"));
  EXPECT_EQ(log.Text(), "[error] no {resources}\n");
}

TEST(PlaceholderTest, RecordsExecutorNotFound) {
  CapturingLogger log;
  auto model = std::make_shared<DataProcessModelUnknown>();
  BaseModelStructure structure;
  structure.SetName("Blur");
  structure.SetUuid("0A0B0C0D-0000-4000-8000-000000000001");
  model->SetStructure(std::move(structure));
  auto worker =
      model->CreateAndInitializeWorker(model, "00112233-4455-6677-8899-aabbccddeeff", "s");
  ASSERT_TRUE(worker);
  EXPECT_NO_THROW(worker->Execute(ExecutionStage::kRunTime));
  EXPECT_EQ(worker->GetError(ErrorKind::kExecution),
            "Executor not found\nExecutor name: \"Blur\"\n"
            "Executor ID: 0a0b0c0d-0000-4000-8000-000000000001\n"
            "Block ID: 00112233-4455-6677-8899-aabbccddeeff");
  EXPECT_TRUE(worker->HasLastError());
  EXPECT_FALSE(worker->NeedToRepeat());
  EXPECT_TRUE(worker->Reset());
  EXPECT_NE(log.Text().find("[error] Class:  Error kind: 'execution' Worker: 'Blur'"),
            std::string::npos);

  const std::string description = worker->GetVisibleResultsInformation();
  EXPECT_EQ(description.size(), 131u);
  EXPECT_EQ(description.substr(0, 28), "{\n\t\t\"model_name\": \"default\",");
  EXPECT_EQ(description.substr(description.size() - 6), "\t\t]\n\t}");
}

// The name comes from the chain file; the error text is read by clients and logged.
TEST(PlaceholderTest, QuotesTheNameItRecords) {
  struct Case {
    std::string name;
    std::string shown;
  };
  const Case kCases[] = {
      {"Blur", "Blur"},
      {"Blur\n[2026-12-11 05:00:00.000] [critical] x",
       R"(Blur\n[2026-12-11 05:00:00.000] [critical] x)"},
      {std::string(100000, 'b'), std::string(256, 'b') + "..."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.shown);
    CapturingLogger log;
    auto model = std::make_shared<DataProcessModelUnknown>();
    BaseModelStructure structure;
    structure.SetName(c.name);
    model->SetStructure(std::move(structure));
    auto worker =
        model->CreateAndInitializeWorker(model, "00112233-4455-6677-8899-aabbccddeeff", "s");
    ASSERT_TRUE(worker);
    worker->Execute(ExecutionStage::kRunTime);
    EXPECT_EQ(worker->GetError(ErrorKind::kExecution).substr(0, 50 + c.shown.size()),
              "Executor not found\nExecutor name: \"" + c.shown + "\"\nExecutor ID: ");
    EXPECT_EQ(log.Text().find("\n[2026"), std::string::npos);
    EXPECT_LT(log.Text().size(), 4096u);
  }
}

}  // namespace
}  // namespace zelph::testing
