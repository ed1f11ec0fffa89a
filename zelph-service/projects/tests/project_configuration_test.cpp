// project_configuration_test.cpp
//
// A project's configuration: documents round-tripped through an upload, the main-settings
// worker's "settings" property kept in step with the tree in both directions, copies of
// setting nodes, and every failure with the project ready again afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <stdexcept>
#include <string>

#include <unistd.h>

#include "capturing_logger.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/property.h"
#include "zelph/projects/configuration_documents.h"
#include "zelph/projects/project.h"
#include "zelph/settings/project_configuration.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::ChainFile;
using testing::kMainWorkerId;
using testing::TestPluginControl;

constexpr int kReady = static_cast<int>(ProjectState::kReady);

class ProjectConfigurationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { TestPluginControl::Get().Reset(); }
  void TearDown() override { TestPluginControl::Get().Reset(); }

  static std::shared_ptr<Project> Loaded(const char* chain_file) {
    auto project = Project::Create("p1");
    project->LoadProjectFile(ChainFile(chain_file));
    return project;
  }
};

// The main_settings.json chain's configuration document, as a load leaves it.
std::string MainSettingsDocument(const std::string& id) {
  return R"({
    "app": "zelph-project-configuration",
    "id": ")" +
         id + R"(",
    "chain_id": "1a2b0000-0000-4000-8000-000000000002",
    "caption": "Main settings",
    "description": "a dashboard of settings",
    "data": {
        "dashboard": {
            "threshold": 9
        },
        "value": {
            "value": "hello"
        }
    },
    "settings": {
        "threshold": 9,
        "label": "main"
    }
})";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::invalid_argument("no " + from);
  return text.replace(at, from.size(), to);
}

std::string SettingsProperty(Project& project) {
  return project.GetWorker(kMainWorkerId)->GetPropertyString("settings", "<none>");
}

std::string MainSettingValues(Project& project) {
  std::ostringstream values;
  WriteMainSettingValuesAsJson(project.GetConfiguration(), values);
  return values.str();
}

PropertyVariant ControlValue(const SettingNode& node, const std::string& name) {
  for (const auto& control : node.controls) {
    if (control->name == name) return control->value.value;
  }
  throw std::invalid_argument("no control " + name);
}

TEST_F(ProjectConfigurationTest, AnUploadedDocumentComesBackAndReachesTheMainSettingsWorker) {
  auto project = Loaded("main_settings.json");
  const std::string id = project->GetConfiguration()->id;
  ASSERT_EQ(project->GetConfigurationJson(), MainSettingsDocument(id));

  const std::string tuned =
      Replaced(Replaced(MainSettingsDocument(id), "\"threshold\": 9,", "\"threshold\": 42,"),
               "\"hello\"", "\"bye\"");
  project->UploadConfiguration(tuned);
  EXPECT_EQ(project->GetState(), kReady);
  EXPECT_EQ(SettingsProperty(*project), "{\n    \"threshold\": 42,\n    \"label\": \"main\"\n}");
  EXPECT_EQ(SettingsProperty(*project), MainSettingValues(*project));
  EXPECT_EQ(project->GetWorker("value")->GetPropertyString("value", ""), "bye");
  EXPECT_EQ(project->GetConfigurationJson(), tuned);

  // The same document from a file changes nothing further.
  const auto file = std::filesystem::temp_directory_path() /
                    ("configuration-" + std::to_string(::getpid()) + ".json");
  std::ofstream(file, std::ios::binary) << tuned;
  project->LoadConfigurationFile(file.string());
  std::filesystem::remove(file);
  EXPECT_EQ(project->GetConfigurationJson(), tuned);
  EXPECT_EQ(project->GetState(), kReady);
}

TEST_F(ProjectConfigurationTest, ASettingsPropertyWrittenByAClientReachesTheTree) {
  auto project = Loaded("main_settings.json");
  project->GetWorker(kMainWorkerId)
      ->GetProperties()
      ->SetValue("settings", std::string(R"({"threshold": 7, "label": "from client"})"));
  project->UpdateConfigurationFromMainSetting();
  const auto node = project->GetSetting(kMainWorkerId);
  EXPECT_EQ(ControlValue(*node, "threshold"), PropertyVariant(7));
  EXPECT_EQ(ControlValue(*node, "label"), PropertyVariant(std::string("from client")));
  EXPECT_NE(project->GetConfigurationJson().find("\"label\": \"from client\""), std::string::npos);
}

TEST_F(ProjectConfigurationTest, ASettingChangedInTheTreeIsAppliedToTheWorker) {
  auto project = Loaded("main_settings.json");
  ASSERT_TRUE(
      project->GetConfiguration()->SetValue(kMainWorkerId, "threshold", PropertyValue{true, 11}));
  project->ApplyConfiguration();
  EXPECT_EQ(SettingsProperty(*project), "{\n    \"threshold\": 11,\n    \"label\": \"main\"\n}");
}

TEST_F(ProjectConfigurationTest, SettingNodesAreCopiesOfTheirSubtreeAtTheTimeOfTheCall) {
  auto project = Loaded("main_settings.json");
  const auto main = project->GetSetting(kMainWorkerId);
  ASSERT_NE(std::dynamic_pointer_cast<MainSetting>(main), nullptr);
  EXPECT_EQ(main->name, "Main");
  EXPECT_EQ(main->controls.size(), 2u);
  project->GetConfiguration()->SetValue(kMainWorkerId, "threshold", PropertyValue{true, 1});
  // The chain file stored the worker's value as a 64-bit int.
  EXPECT_EQ(ControlValue(*main, "threshold"), PropertyVariant(9LL));
  EXPECT_EQ(ControlValue(*project->GetSetting(kMainWorkerId), "threshold"), PropertyVariant(1));

  // The root, by the empty id: the main node and the worker nodes, each of its own class.
  const auto root = project->GetSetting("");
  ASSERT_EQ(root->children.size(), 2u);
  EXPECT_NE(std::dynamic_pointer_cast<MainSetting>(root->children.front()), nullptr);
  const auto workers = std::dynamic_pointer_cast<SettingWorker>(root->children.back());
  ASSERT_NE(workers, nullptr);
  ASSERT_EQ(workers->children.size(), 2u);
  const auto value = std::dynamic_pointer_cast<SettingWorker>(workers->children.back());
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->worker, project->GetWorker("value"));
  EXPECT_NE(workers->children.front(),
            project->GetConfiguration()->FindWorkerSetting()->children.front());
}

// Every failure of an operation on the configuration, with its text, leaves the project
// ready.
TEST_F(ProjectConfigurationTest, FailuresNameTheirCauseAndLeaveTheProjectReady) {
  struct Case {
    const char* chain_file;  // empty: nothing loaded
    std::function<void(Project&)> operation;
    std::string message;
  };
  const std::string missing = ChainFile("missing.json");
  const Case kCases[] = {
      {"", [](Project& p) { p.UploadConfiguration("{}"); }, "Current configuration is empty"},
      {"", [](Project& p) { p.GetSetting(""); }, "Setting:  not found"},
      {"main_settings.json", [](Project& p) { p.UploadConfiguration(""); },
       "Failed parse project configuration"},
      {"main_settings.json", [](Project& p) { p.UploadConfiguration("{\"threshold\": "); },
       "Failed parse project configuration"},
      {"main_settings.json", [](Project& p) { p.UploadConfiguration("[]"); },
       "Failed parse project configuration"},
      {"main_settings.json", [](Project& p) { p.UploadConfiguration(R"({"app": "other"})"); },
       "Failed parse project configuration"},
      {"main_settings.json", [](Project& p) { p.GetSetting("no such setting"); },
       "Setting: no such setting not found"},
      {"main_settings.json", [](Project& p) { p.GetSetting("a\nb" + std::string(300, 'c')); },
       "Setting: a\\nb" + std::string(252, 'c') + "... not found"},
      {"main_settings.json", [](Project& p) { p.LoadConfigurationFile("no\nsuch"); },
       "Failed open configuration file: 'no\\nsuch'"},
      {"main_settings.json", [&](Project& p) { p.LoadConfigurationFile(missing); },
       "Failed open configuration file: '" + missing + "'"},
      {"main_settings.json",
       [](Project& p) { p.LoadConfigurationFile(std::filesystem::temp_directory_path()); },
       "Failed open configuration file: '" + std::filesystem::temp_directory_path().string() + "'"},
      {"line.json", [](Project& p) { p.UploadConfiguration("{}"); },
       "Executor not found with id: "},
      {"line.json", [](Project& p) { p.ApplyConfiguration(); }, "Executor not found with id: "},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.message);
    auto project = *c.chain_file == '\0' ? Project::Create("p1") : Loaded(c.chain_file);
    try {
      c.operation(*project);
      ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), c.message);
    }
    EXPECT_EQ(project->GetState(), kReady);
  }
}

TEST_F(ProjectConfigurationTest, WithoutAChainThereIsNothingToWriteOrApply) {
  testing::CapturingLogger log;
  auto project = Project::Create("p1");
  EXPECT_EQ(project->GetConfigurationJson(), "");
  project->ApplyConfiguration();
  project->UpdateConfigurationFromMainSetting();
  EXPECT_NE(log.Text().find("[error] Failed update configuration actual values: 'main setting "
                            "worker not found'\n"),
            std::string::npos);
}

// A document that cannot be applied is not read either: neither the tree nor the workers whose
// settings it names change.
TEST_F(ProjectConfigurationTest, AChainWithoutMainSettingsRefusesADocumentBeforeReadingIt) {
  auto project = Loaded("line.json");
  const std::string before = project->GetConfigurationJson();
  const std::string document =
      R"({"app": "zelph-project-configuration", "chain_id": "c", "caption": "Renamed"})";
  try {
    project->UploadConfiguration(document);
    ADD_FAILURE() << "no failure";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Executor not found with id: ");
  }
  EXPECT_EQ(project->GetConfigurationJson(), before);
  EXPECT_EQ(project->GetState(), kReady);
}

// An unnamed worker has the empty system name, which is also the main-settings worker id of a
// chain without one: the values must not land in that worker.
TEST_F(ProjectConfigurationTest, TheEmptyMainSettingsIdFindsNoUnnamedWorker) {
  auto project = Project::Create("p1");
  project->UploadProject(
      R"({"app": "zelph-project", "zelph_chain": {"executor": {"uuid": "1a2b0000-0000-4000-8000-000000000009", "name": "unnamed"},
          "blocks": [{"uuid": "1a2b0000-0000-4000-8000-0000000000c9", "executor_id": "7e570000-0000-4000-8000-000000000004", "executor_name": "Value"}],
          "links": []}})",
      "");
  ASSERT_EQ(project->GetChain()->GetWorkersCount(), 1u);
  EXPECT_THROW(project->UploadConfiguration("{}"), std::runtime_error);
  EXPECT_FALSE(project->GetWorker("1a2b0000-0000-4000-8000-0000000000c9")
                   ->GetProperties()
                   ->HasValue("settings"));
}

TEST_F(ProjectConfigurationTest, MainSettingsTextsThatCannotBeReadAreLoggedNotThrown) {
  struct Case {
    const char* settings;  // null: the property is not set
    const char* logged;
  };
  const Case kCases[] = {
      {nullptr, "'configuration setting is empty'"},
      {"", "'configuration setting is empty'"},
      {"{\"threshold\": ", "'parse error'"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.logged);
    auto project = Loaded("main_settings.json");
    const std::string before = project->GetConfigurationJson();
    if (c.settings != nullptr) {
      project->GetWorker(kMainWorkerId)->GetProperties()->SetValue("settings", c.settings);
    }
    testing::CapturingLogger log;
    project->UpdateConfigurationFromMainSetting();
    EXPECT_NE(log.Text().find(std::string("[error] Failed update configuration actual values: ") +
                              c.logged + "\n"),
              std::string::npos)
        << log.Text();
    EXPECT_EQ(project->GetConfigurationJson(), before);
  }
}

TEST_F(ProjectConfigurationTest, AnUploadIntoABusyProjectIsRefusedAndLeavesTheStateAlone) {
  auto project = Project::Create("p1");
  TestPluginControl& control = TestPluginControl::Get();
  control.LoaderGate().Close();
  auto loading = std::async(std::launch::async,
                            [&] { project->LoadProjectFile(ChainFile("main_settings.json")); });
  ASSERT_TRUE(control.LoaderGate().WaitForInside(1));
  try {
    project->UploadConfiguration("{}");
    ADD_FAILURE() << "accepted";
  } catch (const EvaluateCancelled& e) {
    EXPECT_STREQ(e.what(), "Chain not ready to upload configuration");
  }
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kLoading));
  control.LoaderGate().Open();
  loading.get();
  EXPECT_EQ(project->GetState(), kReady);
  project->UploadConfiguration("{}");
}

}  // namespace
}  // namespace zelph
