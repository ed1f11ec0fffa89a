// project_chain_test.cpp
//
// What handlers see and change of a project's chain: mirror properties applied back to the
// chain, the chain text, and workers, links and ports found, created, re-plugged and removed.
#include "zelph/config/rapidjson.h"  // before any other RapidJSON include

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using chain::ExecutionOption;
namespace fixture = zelph::testing;

class ProjectChainTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fixture::LoadServiceTestPlugin(); }
  void SetUp() override {
    project_ = Project::Create("p1");
    project_->LoadProjectFile(fixture::ChainFile("line.json"));
  }

  IDataProcessChain& chain() { return *project_->GetChain(); }
  // Stores the mirror property and applies it, as SetData does.
  void Apply(const std::string& key, PropertyVariant value) {
    project_->GetChainProperties()->SetValue(key, PropertyValue{false, std::move(value)});
    project_->ApplyChainProperty(key);
  }
  template <typename Fn>
  std::string ErrorOf(Fn&& fn) {
    try {
      fn();
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "no error";
  }

  std::shared_ptr<Project> project_;
};

TEST_F(ProjectChainTest, MirrorPropertiesConvertAsTheyAreAppliedToTheChain) {
  struct Case {
    const char* key;
    PropertyVariant value;
    std::function<bool(IDataProcessChain&)> holds;
  };
  auto option = [](ExecutionOption option, bool on) {
    return [=](IDataProcessChain& chain) { return chain.GetExecutionOption(option) == on; };
  };
  auto name = [](const char* text) {
    return [=](IDataProcessChain& chain) { return chain.GetName() == text; };
  };
  const Case cases[] = {
      {"chain.name", 42, name("42")},
      {"chain.name", 7LL, name("7")},
      {"chain.name", 1.5, name("1.500000")},
      {"chain.name", true, name("true")},
      {"chain.name", std::string("renamed"), name("renamed")},
      {"chain.id", std::string("new-id"),
       [](IDataProcessChain& chain) { return chain.GetId() == "new-id"; }},
      {"chain.category", std::string("cat"),
       [](IDataProcessChain& chain) { return chain.GetCategory() == "cat"; }},
      {"chain.description", std::string("text"),
       [](IDataProcessChain& chain) { return chain.GetDescription() == "text"; }},
      {"chain.execution.all", std::string("true"), option(ExecutionOption::kAll, true)},
      {"chain.execution.all", std::string("True"), option(ExecutionOption::kAll, false)},
      {"chain.execution.all", 0.5, option(ExecutionOption::kAll, true)},
      {"chain.execution.all", std::nan(""), option(ExecutionOption::kAll, true)},
      {"chain.execution.all", 0, option(ExecutionOption::kAll, false)},
      {"chain.execution.multithreading", 3LL, option(ExecutionOption::kMultithreading, true)},
      {"chain.execution.multithreading", false, option(ExecutionOption::kMultithreading, false)},
      {"chain.execution.ignore.exception", true, option(ExecutionOption::kIgnoreExceptions, true)},
      {"chain.execution.strategy", std::string("graph"),
       [](IDataProcessChain& chain) {
         return chain.GetExecutionStrategyType() == ExecutionStrategyType::kGraph;
       }},
      {"chain.execution.strategy", std::string("no such strategy"),
       [](IDataProcessChain& chain) {
         return chain.GetExecutionStrategyType() == ExecutionStrategyType::kRGraph &&
                std::get<std::string>(*chain.GetProperties()->GetValue("execution.strategy")) ==
                    "rgraph";
       }},
  };
  for (const Case& c : cases) {
    Apply(c.key, c.value);
    EXPECT_TRUE(c.holds(chain())) << c.key << " = " << PropertyValueToString(c.value);
  }
}

TEST_F(ProjectChainTest, TheExecutorJsonSetsIdTextsAndBooleanOptions) {
  chain().SetExecutionOption(ExecutionOption::kAll, false);
  Apply("chain.executor",
        std::string(R"({"uuid": "u-1", "name": "N", "category": "C", "description": "D",
                       "options": {"execution": {"all": true, "multithreading": 1}}})"));
  EXPECT_EQ(chain().GetId(), "u-1");
  EXPECT_EQ(chain().GetName(), "N");
  EXPECT_EQ(chain().GetCategory(), "C");
  EXPECT_EQ(chain().GetDescription(), "D");
  EXPECT_TRUE(chain().GetExecutionOption(ExecutionOption::kAll));
  EXPECT_FALSE(chain().GetExecutionOption(ExecutionOption::kMultithreading));  // only booleans

  // Without "/uuid" the id stays; without texts they empty; an option given as 1 is ignored.
  Apply("chain.executor", std::string(R"({"options": {"execution": {"all": 1}}})"));
  EXPECT_EQ(chain().GetId(), "u-1");
  EXPECT_EQ(chain().GetName(), "");
  EXPECT_EQ(chain().GetCategory(), "");
  EXPECT_EQ(chain().GetDescription(), "");
  EXPECT_TRUE(chain().GetExecutionOption(ExecutionOption::kAll));
  EXPECT_EQ(chain().GetExecutor(), R"({"options": {"execution": {"all": 1}}})");

  // Not JSON: the text is stored first, then the parser's error code is reported.
  EXPECT_EQ(ErrorOf([&] { Apply("chain.executor", std::string()); }),
            "Chain options json parser error: 1");
  EXPECT_EQ(chain().GetExecutor(), "");
  EXPECT_EQ(ErrorOf([&] { Apply("chain.executor", std::string("{")); }),
            "Chain options json parser error: 4");
  EXPECT_EQ(chain().GetId(), "u-1");
}

TEST_F(ProjectChainTest, OtherNamesChangeNothing) {
  const std::string before = project_->GetChainJson();
  for (const char* key : {"chain.bogus", "", "chain.execution", "Chain.name"}) {
    Apply(key, std::string("x"));
    EXPECT_EQ(project_->GetChainJson(), before) << key;
  }
}

TEST_F(ProjectChainTest, SyncCopiesTheChainIntoTheMirror) {
  chain().SetName("synced");
  chain().SetExecutor("{}");
  project_->SyncChainProperties();
  Property& mirror = *project_->GetChainProperties();
  EXPECT_EQ(std::get<std::string>(*mirror.GetValue("chain.name")), "synced");
  EXPECT_EQ(std::get<std::string>(*mirror.GetValue("chain.executor")), "{}");
  EXPECT_EQ(std::get<std::string>(*mirror.GetValue("chain.execution.strategy")), "graph");
}

TEST_F(ProjectChainTest, TheChainTextDescribesTheChainAsItIsNow) {
  chain().SetName("now");
  const std::string text = project_->GetChainJson();
  rapidjson::Document document;
  ASSERT_FALSE(json::ParseJsonText(text.data(), text.size(), document).IsError());
  EXPECT_STREQ(document["executor"]["id"].GetString(), fixture::kLineChainId);
  EXPECT_STREQ(document["executor"]["name"].GetString(), "now");
  EXPECT_EQ(document["blocks"].Size(), 3u);
  EXPECT_EQ(document["links"].Size(), 2u);
}

TEST_F(ProjectChainTest, WorkersLinksAndPortsAreFoundOrNamedInTheError) {
  EXPECT_EQ(project_->GetWorker("scale")->GetId(), fixture::kLineScaleId);
  EXPECT_EQ(project_->GetWorker(fixture::kLineScaleId)->GetSystemName(), "scale");
  EXPECT_EQ(ErrorOf([&] { project_->GetWorker("nope"); }), "Executor not found with id: nope");
  EXPECT_TRUE(project_->HasWorker("sink"));
  EXPECT_FALSE(project_->HasWorker("nope"));

  project_->GetWorker("sink")->GetProperties()->SetValue("gain", 2);
  EXPECT_TRUE(project_->HasWorkerProperty("sink", "gain"));
  EXPECT_FALSE(project_->HasWorkerProperty("sink", "name"));
  EXPECT_FALSE(project_->HasWorkerProperty("nope", "gain"));
  EXPECT_TRUE(project_->HasWorkerSystemProperty("sink", "name"));
  EXPECT_FALSE(project_->HasWorkerSystemProperty("sink", "gain"));

  Link* link = project_->GetLink(fixture::kLineFirstLink);
  EXPECT_EQ(link->GetSrcPort()->GetId(), fixture::kLineSourceOutput);
  EXPECT_EQ(ErrorOf([&] { project_->GetLink("nope"); }), "Link not found, link id: nope");
  EXPECT_TRUE(project_->HasLink(fixture::kLineSecondLink));
  EXPECT_FALSE(project_->HasLink("nope"));

  EXPECT_EQ(project_->GetPort(fixture::kLineSinkInput)->GetName(), "input");
  EXPECT_EQ(ErrorOf([&] { project_->GetPort("nope"); }), "Port not found port id: nope");
}

TEST_F(ProjectChainTest, ALinkJoinsPortsOfTheWorkersItNames) {
  Link* link = project_->GetLink(
      project_->CreateLink("source", fixture::kLineSourceOutput, "sink", fixture::kLineSinkInput));
  EXPECT_EQ(link->GetSrcWorker()->GetId(), fixture::kLineSourceId);
  EXPECT_EQ(link->GetDstWorker()->GetId(), fixture::kLineSinkId);
  EXPECT_EQ(link->GetDestPort()->GetId(), fixture::kLineSinkInput);
  EXPECT_TRUE(project_->HasLink(link->GetId()));
  EXPECT_EQ(chain().GetLinksCount(), 3u);

  struct Case {
    const char* source_worker;
    const char* source_port;
    const char* destination_worker;
    const char* destination_port;
    std::string error;
  };
  const Case cases[] = {
      {"nope", fixture::kLineSourceOutput, "sink", fixture::kLineSinkInput,
       "Executor not found with id: nope"},
      {"source", "nope", "sink", fixture::kLineSinkInput, "Port not found port id: nope"},
      {"source", fixture::kLineSourceOutput, "nope", "nope", "Executor not found with id: nope"},
      {"source", fixture::kLineSourceOutput, "sink", "nope", "Port not found port id: nope"},
      // A port of another worker than the one named with it.
      {"source", fixture::kLineScaleOutput, "sink", fixture::kLineSinkInput,
       std::string("Port not found port id: ") + fixture::kLineScaleOutput},
      {"source", fixture::kLineSourceOutput, "scale", fixture::kLineSinkInput,
       std::string("Port not found port id: ") + fixture::kLineSinkInput},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] {
                project_->CreateLink(c.source_worker, c.source_port, c.destination_worker,
                                     c.destination_port);
              }),
              c.error);
  }
  EXPECT_EQ(chain().GetLinksCount(), 3u);
}

TEST_F(ProjectChainTest, ALinkIsReplugged) {
  // The scale -> sink link now starts at the source.
  project_->UpdateLink(fixture::kLineSecondLink, fixture::kLineSourceOutput, "");
  Link* link = project_->GetLink(fixture::kLineSecondLink);
  EXPECT_EQ(link->GetSrcPort()->GetId(), fixture::kLineSourceOutput);
  EXPECT_EQ(link->GetSrcWorker()->GetId(), fixture::kLineSourceId);
  EXPECT_EQ(link->GetDestPort(), nullptr);  // an empty id detaches its end

  // The port's type picks the end, whichever field named it.
  project_->UpdateLink(fixture::kLineSecondLink, fixture::kLineSinkInput,
                       fixture::kLineScaleOutput);
  EXPECT_EQ(link->GetSrcPort()->GetId(), fixture::kLineScaleOutput);
  EXPECT_EQ(link->GetDestPort()->GetId(), fixture::kLineSinkInput);

  project_->UpdateLink(fixture::kLineSecondLink, "", "");
  EXPECT_EQ(link->GetSrcPort(), nullptr);
  EXPECT_EQ(link->GetDestPort(), nullptr);
}

TEST_F(ProjectChainTest, AFailedRepluggingChangesNeitherEnd) {
  struct Case {
    const char* link;
    const char* source_port;
    const char* destination_port;
    const char* error;
  };
  const Case cases[] = {
      {"nope", fixture::kLineSourceOutput, "", "Link not found, link id: nope"},
      {fixture::kLineSecondLink, fixture::kLineSourceOutput, "nope",
       "Port not found port id: nope"},
      {fixture::kLineSecondLink, "nope", fixture::kLineScaleInput, "Port not found port id: nope"},
      {fixture::kLineSecondLink, "", "nope", "Port not found port id: nope"},
  };
  Link* link = project_->GetLink(fixture::kLineSecondLink);
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { project_->UpdateLink(c.link, c.source_port, c.destination_port); }),
              c.error);
    EXPECT_EQ(link->GetSrcPort()->GetId(), fixture::kLineScaleOutput) << c.source_port;
    EXPECT_EQ(link->GetDestPort()->GetId(), fixture::kLineSinkInput) << c.destination_port;
  }
}

TEST_F(ProjectChainTest, RemovingAWorkerReportsItsLinksThenItselfAndDropsItsStatistic) {
  project_->GetStatistics().Set(fixture::kLineScaleId, nullptr);
  project_->SetCache(std::string("/statistic:") + fixture::kLineScaleId, nullptr);
  std::vector<std::string> removed;
  project_->RemoveWorker(fixture::kLineScaleId, [&](std::string url) { removed.push_back(url); });
  EXPECT_EQ(removed, (std::vector<std::string>{std::string("/link:") + fixture::kLineFirstLink,
                                               std::string("/link:") + fixture::kLineSecondLink,
                                               std::string("/worker:") + fixture::kLineScaleId}));
  EXPECT_FALSE(project_->HasWorker("scale"));
  EXPECT_EQ(chain().GetLinksCount(), 0u);
  EXPECT_FALSE(project_->GetStatistics().Find(fixture::kLineScaleId).has_value());
  EXPECT_FALSE(project_->GetServiceCache()
                   .Find(std::string("/statistic:") + fixture::kLineScaleId)
                   .has_value());

  // Removal is idempotent for a uuid the chain does not hold; a text that is no uuid fails.
  removed.clear();
  project_->RemoveWorker(fixture::kLineScaleId, [&](std::string url) { removed.push_back(url); });
  EXPECT_EQ(removed, (std::vector<std::string>{std::string("/worker:") + fixture::kLineScaleId}));
  EXPECT_EQ(ErrorOf([&] { project_->RemoveWorker("scale", [](std::string) {}); }),
            "invalid uuid string");
  EXPECT_EQ(chain().GetWorkersCount(), 2u);
}

TEST_F(ProjectChainTest, RemovingAStatisticAnswersWhetherThereWasOne) {
  project_->GetStatistics().Set("w", nullptr);
  project_->SetCache("/statistic:w", nullptr);
  EXPECT_TRUE(project_->RemoveStatistic("w"));
  EXPECT_FALSE(project_->GetServiceCache().Find("/statistic:w").has_value());
  project_->SetCache("/statistic:w", nullptr);
  EXPECT_FALSE(project_->RemoveStatistic("w"));
  EXPECT_FALSE(project_->GetServiceCache().Find("/statistic:w").has_value());
}

TEST_F(ProjectChainTest, ObjectStatusesAreUpdatedInPlace) {
  EXPECT_EQ(Project::Create("fresh")->GetChainStatus(), nullptr);
  // A load runs the loading stage, which the chain reports like any run.
  ASSERT_NE(project_->GetChainStatus(), nullptr);
  EXPECT_EQ(project_->GetChainStatus()->status, static_cast<int>(ObjectStatus::kReady));

  const std::int64_t before = ObjectStatusData::Now();
  project_->SetObjectStatus(fixture::kLineChainId, 2);
  std::shared_ptr<ObjectStatusData> status = project_->GetChainStatus();
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->status, 2);
  EXPECT_GE(status->time, before);
  EXPECT_EQ(status->text, "");

  const std::int64_t first_time = status->time;
  project_->SetObjectStatus(fixture::kLineChainId, 3);
  EXPECT_EQ(project_->GetChainStatus(), status);  // the same object a reader holds
  EXPECT_EQ(status->status, 3);
  EXPECT_GE(status->time, first_time);
}

TEST_F(ProjectChainTest, IterationVisitsACopyAndTheTwoPoliciesOfFailure) {
  std::vector<std::string> visited;
  project_->ForEachWorker([&](std::shared_ptr<IDataProcess> worker) {
    visited.push_back(worker->GetSystemName());
    if (visited.size() == 2) throw std::runtime_error("stop");
  });
  EXPECT_EQ(visited, (std::vector<std::string>{"source", "scale"}));

  int links = 0;
  project_->ForEachLink([&](Link*) {
    ++links;
    throw 1;  // ignored, whatever it is
  });
  EXPECT_EQ(links, 2);
}

}  // namespace
}  // namespace zelph
