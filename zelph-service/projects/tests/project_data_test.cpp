// project_data_test.cpp
//
// Data between the project cache and the workers: which cached entry a starting worker
// receives when several name it, how a control-input model takes scalar text, and which
// entries a finished worker leaves in the cache.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "capturing_logger.h"
#include "run_support.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/property.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::FilledImage;
using testing::LoadedProject;

class ProjectDataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { testing::TestPluginControl::Get().Reset(); }
};

const std::string kScaleById = std::string("/worker:") + testing::kLineScaleId;

TEST_F(ProjectDataTest, AStartingWorkerReceivesTheEntryThatWinsAmongThoseNamingIt) {
  struct Entry {
    std::string key;
    const char* data;  // a name for a data object of its own, "" for an empty entry
  };
  struct Case {
    const char* name;
    std::vector<Entry> entries;
    const char* worker;    // system name of the worker whose output shows what it received
    const char* received;  // the data's name, "" for none
    bool unnamed_scale = false;
  };
  const Case cases[] = {
      {"input entry", {{"/input:source", "A"}}, "source", "A"},
      {"input before data", {{"/input:source", "A"}, {"/data:source", "B"}}, "source", "A"},
      {"data entry", {{"/data:source", "B"}}, "source", "B"},
      {"neither", {}, "source", ""},
      {"worker input after input",
       {{"/input:source", "A"}, {"/worker:source/input:input", "C"}},
       "source",
       "C"},
      {"system name and port name", {{"/worker:scale/input:input", "X"}}, "scale", "X"},
      {"ids after names",
       {{"/worker:scale/input:input", "X"},
        {kScaleById + "/input:" + testing::kLineScaleInput, "Y"}},
       "scale",
       "Y"},
      {"worker id and port name last",
       {{"/worker:scale/input:input", "X"},
        {kScaleById + "/input:" + testing::kLineScaleInput, "Y"},
        {kScaleById + "/input:input", "Z"}},
       "scale",
       "Z"},
      {"an empty entry empties the port",
       {{"/input:source", "A"}, {"/worker:scale/input:input", ""}},
       "scale",
       ""},
      {"without a system name the link's data stays",
       {{"/input:source", "A"}, {kScaleById + "/input:" + testing::kLineScaleInput, "Y"}},
       "scale",
       "A",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto project = LoadedProject("line.json");
    if (c.unnamed_scale) project->GetWorker("scale")->GetSystemProperties()->SetValue("name", "");
    std::map<std::shared_ptr<IPortData>, std::string> names;
    for (const Entry& entry : c.entries) {
      std::shared_ptr<IPortData> data;
      if (*entry.data != '\0') data = FilledImage(2, 2, 1, kDepth8U);
      names[data] = entry.data;
      project->SetCache(entry.key, data);
    }
    project->Execute();
    const std::string worker_id = c.unnamed_scale ? testing::kLineScaleId : c.worker;
    const auto received = project->GetCache("/worker:" + worker_id + "/output:output").data;
    EXPECT_EQ(received ? names[received] : "", c.received);
  }
}

// Runs of one loaded chain reuse what they found out about its workers; each run must still
// see the entries as they are now and the system name the worker has now.
TEST_F(ProjectDataTest, RunsOfOneChainFollowEntriesAndSystemNamesChangedBetweenThem) {
  auto project = LoadedProject("line.json");
  const auto x = FilledImage(2, 2, 1, kDepth8U);
  const auto y = FilledImage(2, 2, 1, kDepth8U);
  const auto z = FilledImage(2, 2, 1, kDepth8U);
  const std::map<std::shared_ptr<IPortData>, std::string> names = {
      {nullptr, ""}, {x, "X"}, {y, "Y"}, {z, "Z"}};
  struct Step {
    const char* name;
    std::function<void(Project&)> change;
    const char* system_name;  // the scale worker's, after the change
    const char* received;
  };
  const Step steps[] = {
      {"nothing cached", [](Project&) {}, "scale", ""},
      {"an entry added", [&](Project& p) { p.SetCache("/worker:scale/input:input", x); }, "scale",
       "X"},
      {"the entry replaced", [&](Project& p) { p.SetCache("/worker:scale/input:input", y); },
       "scale", "Y"},
      {"the entry removed",
       [](Project& p) { p.GetServiceCache().Erase("/worker:scale/input:input"); }, "scale", ""},
      {"the worker renamed",
       [&](Project& p) {
         p.SetCache("/worker:scale2/input:input", z);
         p.GetWorker("scale")->GetSystemProperties()->SetValue("name", "scale2");
       },
       "scale2", "Z"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.change(*project);
    project->Execute();
    const auto received =
        project->GetCache(std::string("/worker:") + step.system_name + "/output:output").data;
    EXPECT_EQ(names.at(received), step.received);
  }
}

TEST_F(ProjectDataTest, AWorkerWithoutASystemNameIsCachedUnderItsIdOnly) {
  auto project = LoadedProject("line.json");
  project->GetWorker("scale")->GetSystemProperties()->SetValue("name", "");
  project->Execute();
  ServiceCache& cache = project->GetServiceCache();
  EXPECT_TRUE(cache.Find(kScaleById + "/output:" + testing::kLineScaleOutput));
  EXPECT_TRUE(cache.Find(kScaleById + "/output:output"));
  EXPECT_TRUE(cache.Find(kScaleById + "/output:input"));
  EXPECT_FALSE(cache.Find("/worker:scale/output:output"));
  EXPECT_FALSE(cache.Find("/worker:/output:output"));
}

TEST_F(ProjectDataTest, PortsWithoutDataAreCachedEmptyButTheSystemOutputKeepsItsEntry) {
  auto project = LoadedProject("line.json", {tmp::kEnableCache});
  const auto earlier = FilledImage(2, 2, 1, kDepth8U);
  project->SetCache("/output:sink", earlier);
  project->Execute();  // nothing for the source: every port stays empty
  ServiceCache& cache = project->GetServiceCache();
  for (const std::string& key : {std::string("/worker:sink/output:output"),
                                 std::string("/cache:") + testing::kLineSinkOutput}) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(cache.Find(key));
    EXPECT_EQ(cache.Find(key)->data, nullptr);
  }
  EXPECT_EQ(cache.Find("/output:sink")->data, earlier);
}

TEST_F(ProjectDataTest, AControlInputModelTakesScalarTextIntoItsFirstControl) {
  struct Case {
    const char* name;
    std::shared_ptr<IPortData> input;  // stored under "/input:value" unless `absent`
    bool absent;
    const char* value;  // the "value" property the worker ran with
    const char* log;    // a line logged, or ""
  };
  const Case cases[] = {
      {"scalar text", std::make_shared<PortDataScalar>(std::string("12abc")), false, "12abc",
       "[debug] Input data '/input:value' written into property: 'value'"},
      {"empty entry", nullptr, false, "",
       "[debug] Input data '/input:value' reset to default property: 'value' value"},
      {"matrix", FilledImage(1, 1, 1, kDepth8U), false, "hello",
       "[error] Unsupported input data type: 'mat', '/input:value' data can't be written, "
       "worker: Worker: 'Value', id: 1a2b0000-0000-4000-8000-0000000000f3"},
      {"no entry", nullptr, true, "hello", "[debug] Input data: '/input:value' not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto project = LoadedProject("main_settings.json");
    if (!c.absent) project->SetCache("/input:value", c.input);
    testing::CapturingLogger log;
    project->ExecuteWorker("value");
    const auto output = std::dynamic_pointer_cast<PortDataScalar>(
        project->GetCache("/worker:value/output:output").data);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->GetStr(), c.value);
    EXPECT_NE(log.Text().find(c.log), std::string::npos) << log.Text();
  }
}

TEST_F(ProjectDataTest, TheVisibleResultMetaInformationIsStoredAfterEveryExecution) {
  auto project = LoadedProject("line.json");
  auto scale = project->GetWorker("scale");
  Property& properties = *scale->GetProperties();
  for (const char* meta : {"", R"({"ports":[]})"}) {
    if (*meta != '\0') properties.SetValue("meta", meta);
    properties.ForEachChanged([](const std::string&, PropertyValue&) { return true; });
    project->Execute();
    const std::string expected =
        *meta != '\0' ? meta
                      : std::string(R"({"ports":[{"id":")") + testing::kLineScaleOutput + "\"}]}";
    EXPECT_EQ(std::get<std::string>(*properties.GetValue(tmp::kVisibleResultMetaInformation)),
              expected);
    bool marked = false;
    properties.ForEachChanged([&](const std::string& key, PropertyValue&) {
      marked = marked || key == tmp::kVisibleResultMetaInformation;
      return false;
    });
    EXPECT_TRUE(marked);
  }
}

}  // namespace
}  // namespace zelph
