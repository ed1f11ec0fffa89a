// chain_builder_test.cpp
//
// A chain file of test-model workers built into a live chain: the loading stage runs at
// build time, a worker of a missing model becomes a placeholder, ids and properties land
// where the format says, and the run gives the expected output.
#include "zelph/chainfiles/chain_builder.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "capturing_logger.h"
#include "chain_test_models.h"
#include "chain_test_support.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/model/link.h"

namespace zelph {
namespace {

using testing::Entries;

class ChainBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::RegisterChainTestModels(); }
  std::shared_ptr<IDataProcessChain> chain_ = LinkedChain::Create();
};

TEST_F(ChainBuilderTest, ChainFileBecomesALiveChainThatRuns) {
  testing::CapturingLogger log;
  const int loads_before = testing::LoaderRuns();
  ASSERT_TRUE(
      ParseChainFile(testing::FixturePath("built_chain.json"), JsonParser::kMiniJson, chain_));
  EXPECT_EQ(testing::LoaderRuns(), loads_before + 1);  // the loading stage ran while building

  EXPECT_EQ(chain_->GetId(), "77777777-2222-4333-8444-555555555555");
  EXPECT_EQ(chain_->GetName(), "built");
  EXPECT_TRUE(chain_->GetExecutionOption(chain::ExecutionOption::kIgnoreExceptions));
  EXPECT_EQ(chain_->GetExecutionStrategyType(), ExecutionStrategyType::kGraph);
  ASSERT_EQ(chain_->GetWorkersCount(), 4u);

  // Worker ids are normalised through uuid parsing; port ids are kept as written.
  auto constant = chain_->FindWorker("bbbbbbbb-0000-4000-8000-00000000000b");
  ASSERT_TRUE(constant);
  EXPECT_EQ(constant->FindPortByName(PortType::output, "out", false)->GetId(),
            "bbbbbbbb-0200-0000-0000-0000000000ff");
  EXPECT_EQ(Entries(*constant->GetSystemProperties()).at("name"),
            PropertyVariant(std::string("constant")));
  auto sink = std::dynamic_pointer_cast<testing::SinkWorker>(
      chain_->FindWorker("cccccccc-0000-4000-8000-00000000000c"));
  ASSERT_TRUE(sink);
  EXPECT_EQ(sink->FindPortByName(PortType::input, "in", false)->GetId(), "sink-in");

  ASSERT_EQ(chain_->GetLinks().size(), 1u);  // the link to a missing port is passed over
  EXPECT_EQ(chain_->GetLinks()[0]->GetId(), "link-1");

  auto placeholder = chain_->FindWorker("dddddddd-0000-4000-8000-00000000000d");
  ASSERT_TRUE(placeholder);
  EXPECT_NE(log.Text().find("Failed create worker: name: Gone, id: "
                            "dddddddd-0000-4000-8000-00000000000d, executor id: "),
            std::string::npos);
  const BaseModelStructure& description = placeholder->GetStructure();
  EXPECT_EQ(description.GetUuid(), "0000dead-0000-4000-8000-000000000000");
  EXPECT_EQ(description.GetName(), "Gone");
  ASSERT_EQ(description.GetPorts().size(), 1u);  // only input and output kinds
  ASSERT_EQ(description.GetControls().size(), 1u);
  EXPECT_EQ(description.GetControls()[0].GetName(), "level");

  chain_->Execute(ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
  EXPECT_EQ(sink->Received(), "42");
  EXPECT_NE(placeholder->GetError(ErrorKind::kExecution).find("Executor not found"),
            std::string::npos);
}

TEST_F(ChainBuilderTest, OnlyCompleteSystemPrefixesAreMirrored) {
  struct Case {
    const char* key;
    const char* system_key;  // null: not mirrored
  };
  const Case cases[] = {{"$__system.enabled", "enabled"},
                        {"$__system.name", "name"},
                        {"$__system", nullptr},
                        {"$__systemname", nullptr},
                        {"$__system.", ""}};
  DataChain data;
  DataWorker& worker = data.workers.emplace_back();
  worker.id = "eeeeeeee-0000-4000-8000-00000000000e";
  worker.executor_id = testing::kSinkModel;
  for (const Case& c : cases) worker.properties.SetValue(c.key, std::string("v"));
  parse::CreateWorkersFromDataChain(chain_, data, ExecutionStage::kRunTime);
  ASSERT_EQ(chain_->GetWorkersCount(), 1u);
  const auto properties = Entries(*chain_->GetWorkers()[0]->GetProperties());
  const auto system = Entries(*chain_->GetWorkers()[0]->GetSystemProperties());
  for (const Case& c : cases) {
    EXPECT_TRUE(properties.count(c.key)) << c.key;
    if (c.system_key != nullptr) {
      EXPECT_TRUE(system.count(c.system_key)) << c.key;
    }
  }
  EXPECT_EQ(system.size(), 3u);
}

TEST_F(ChainBuilderTest, EntryPointsChooseTheirBackEnd) {
  const std::string project = testing::FixtureText("project_form.json");
  testing::CapturingLogger log;
  EXPECT_FALSE(ParseChain(project, JsonParser::kRapidJson, chain_));
  EXPECT_NE(log.Text().find("Unsupported json parser"), std::string::npos);
  EXPECT_EQ(chain_->GetWorkersCount(), 0u);

  // The document back-end reads only the given length: no NUL needed after the text.
  const std::string padded = project + "garbage";
  EXPECT_TRUE(ParseChain(padded.data(), project.size(), JsonParser::kRapidJson, chain_));
  EXPECT_EQ(chain_->GetWorkersCount(), 2u);  // both placeholders
  EXPECT_FALSE(chain_->GetExecutor().empty());

  auto other = LinkedChain::Create();
  EXPECT_FALSE(ParseChain(R"({"app":"nothing"})", JsonParser::kMiniJson, other));
  EXPECT_FALSE(ParseChain(project, static_cast<JsonParser>(7), other));
  EXPECT_EQ(other->GetWorkersCount(), 0u);
  EXPECT_EQ(
      ParseChain(R"({"app":"chain"})", JsonParser::kRapidJson).error,
      R"(Invalid chain JSON format: "app" value "chain" is read by the minijson parser only)");
}

// Port ids come from the first four bytes of a worker's uuid: two constants and two sinks
// whose uuids share them have one output id and one input id. A link that names its
// workers reaches the ports of those workers; one that names none, or a worker without the
// port, is resolved by the port id alone.
TEST_F(ChainBuilderTest, LinkEndsAreResolvedOnTheWorkersTheyName) {
  const std::string kConstants[] = {"abcd0001-0000-4000-8000-00000000000a",
                                    "abcd0001-0000-4000-8000-00000000000b"};
  const std::string kSinks[] = {"abcd0002-0000-4000-8000-00000000000c",
                                "ABCD0002-0000-4000-8000-00000000000D"};  // names are normalised
  struct Case {
    std::string src_worker;
    std::string dst_worker;
    int source;       // index into kConstants of the linked worker
    int destination;  // index into kSinks
  };
  const Case kCases[] = {
      {kConstants[1], kSinks[1], 1, 1},
      {kConstants[1], kSinks[0], 1, 0},
      {kConstants[0], kSinks[1], 0, 1},
      {"", "", 0, 0},                   // by port id: the first worker holding it
      {kSinks[0], "not a uuid", 0, 0},  // a worker without the port, a malformed id
      {"abcd0001-0000-4000-8000-0000000000ff", kSinks[1], 0, 1},  // a worker not in the chain
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.src_worker + " -> " + c.dst_worker);
    testing::CapturingLogger log;
    DataChain data;
    for (const std::string& id : kConstants) {
      DataWorker& worker = data.workers.emplace_back();
      worker.id = id;
      worker.executor_id = testing::kConstantModel;
    }
    for (const std::string& id : kSinks) {
      DataWorker& worker = data.workers.emplace_back();
      worker.id = id;
      worker.executor_id = testing::kSinkModel;
    }
    auto chain = LinkedChain::Create();
    parse::CreateWorkersFromDataChain(chain, data, ExecutionStage::kRunTime);
    const auto workers = chain->GetWorkers();
    ASSERT_EQ(workers.size(), 4u);
    Port* outs[] = {workers[0]->FindPortByName(PortType::output, "out", false),
                    workers[1]->FindPortByName(PortType::output, "out", false)};
    Port* ins[] = {workers[2]->FindPortByName(PortType::input, "in", false),
                   workers[3]->FindPortByName(PortType::input, "in", false)};
    ASSERT_EQ(outs[0]->GetId(), outs[1]->GetId());
    ASSERT_EQ(ins[0]->GetId(), ins[1]->GetId());
    DataLink& link = data.links.emplace_back();
    link.id = "link";
    link.src_port_id = outs[1]->GetId();
    link.dst_port_id = ins[1]->GetId();
    link.src_worker_id = c.src_worker;
    link.dst_worker_id = c.dst_worker;

    parse::CreateLinksFromDataChain(chain, data);
    ASSERT_EQ(chain->GetLinks().size(), 1u);
    const Link& made = *chain->GetLinks()[0];
    EXPECT_EQ(made.GetSrcWorker()->GetId(), workers[c.source]->GetId());
    EXPECT_EQ(made.GetSrcPort(), outs[c.source]);
    EXPECT_EQ(made.GetDstWorker()->GetId(), workers[2 + c.destination]->GetId());
    EXPECT_EQ(made.GetDestPort(), ins[c.destination]);
    EXPECT_NE(
        log.Text().find("[warning] Duplicate port id " + outs[0]->GetId() + ": port 'out' of " +
                        workers[0]->ToString() + " and port 'out' of " + workers[1]->ToString()),
        std::string::npos)
        << log.Text();
  }
}

// Lines a load would write once per worker or port of a client's chain are one line with
// the count and the first few ids, however many there are.
void ExpectOneLine(const std::string& log, const std::string& head, std::size_t count,
                   const std::string& first_id) {
  std::size_t lines = 0;
  for (std::size_t at = log.find(head); at != std::string::npos; at = log.find(head, at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 1u) << log.substr(0, 2000);
  EXPECT_NE(log.find(fmt::format("; {} in this load, first ids: {}, ", count, first_id)),
            std::string::npos)
      << log.substr(0, 2000);
  EXPECT_LT(log.size(), 2048u);
}

DataChain WorkersSharingTheirFirstBytes(int count, const std::string& executor_id) {
  DataChain data;
  for (int i = 0; i < count; ++i) {
    DataWorker& worker = data.workers.emplace_back();
    worker.id = fmt::format("abcd0001-0000-4000-8000-{:012x}", i);
    worker.executor_id = executor_id;
    worker.name = "Gone";
  }
  return data;
}

TEST_F(ChainBuilderTest, DuplicatePortIdsOfOneLoadAreOneLine) {
  DataChain data = WorkersSharingTheirFirstBytes(400, testing::kConstantModel);
  auto chain = LinkedChain::Create();
  parse::CreateWorkersFromDataChain(chain, data, ExecutionStage::kRunTime);
  const auto workers = chain->GetWorkers();
  ASSERT_EQ(workers.size(), 400u);
  std::set<std::string> ids;
  std::size_t ports = 0;
  for (const auto& worker : workers) {
    for (Port* port : worker->GetPorts()) {
      ids.insert(port->GetId());
      ++ports;
    }
  }
  ASSERT_GT(ids.size(), 1u);

  testing::CapturingLogger log;
  parse::CreateLinksFromDataChain(chain, data);
  ExpectOneLine(log.Text(), "Duplicate port id", ports - ids.size(),
                workers[1]->GetPorts().front()->GetId());
}

TEST_F(ChainBuilderTest, WorkersOfAMissingModelAreOneLine) {
  DataChain data = WorkersSharingTheirFirstBytes(400, "0000dead-0000-4000-8000-000000000000");
  testing::CapturingLogger log;
  parse::CreateWorkersFromDataChain(LinkedChain::Create(), data, ExecutionStage::kRunTime);
  ExpectOneLine(log.Text(), "Failed create worker", 400, data.workers[0].id);
}

}  // namespace
}  // namespace zelph
