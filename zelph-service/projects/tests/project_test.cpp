// project_test.cpp
//
// A project's life: construction and destruction with the plug-ins, loading chain text with
// every error of the load, the state word around loads, and the project cache.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>

#include "capturing_logger.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/property.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/project.h"
#include "zelph/settings/project_configuration.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph {
namespace {

using testing::ChainFile;
using testing::ChainText;
using testing::TestPluginControl;

class ProjectTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::LoadServiceTestPlugin(); }
  void SetUp() override { control().Reset(); }
  void TearDown() override { control().Reset(); }

  static TestPluginControl& control() { return TestPluginControl::Get(); }
};

std::string ChainFolder() {
  return std::filesystem::path(ChainFile("line.json")).parent_path().string();
}

std::string LoadError(const std::string& path, const std::string& cause) {
  return "Error while loading chain from the file\n" + path + "\n" + cause;
}

TEST_F(ProjectTest, ANewProjectIsReadyWithAnEmptyChainAndItsOwnPluginKey) {
  auto first = Project::Create("p1");
  auto second = Project::Create("p1");
  EXPECT_EQ(first->GetId(), "p1");
  EXPECT_EQ(first->GetState(), static_cast<int>(ProjectState::kReady));
  EXPECT_EQ(first->GetChain()->GetWorkersCount(), 0u);
  EXPECT_EQ(first->GetChain()->GetSessionId(), "");
  EXPECT_EQ(first->GetChain()->GetContextId(), 0);
  EXPECT_EQ(first->GetConfiguration(), nullptr);
  EXPECT_EQ(first->GetPluginSessionKey().size(), 36u);
  EXPECT_NE(first->GetPluginSessionKey(), second->GetPluginSessionKey());
  // The new chain's empty session was offered the plug-ins' models.
  EXPECT_EQ(control().RegisterCount(""), 2);
}

TEST_F(ProjectTest, DestroyingAProjectClearsItsModelsOnceUnderItsOwnKey) {
  testing::CapturingLogger log;
  auto project = Project::Create("p1");
  const std::string key = project->GetPluginSessionKey();
  project.reset();
  EXPECT_EQ(control().ClearCount(key), 1);
  EXPECT_EQ(control().ClearCount("p1"), 0);
  EXPECT_NE(log.Text().find("[debug] Project removed: p1\n"), std::string::npos);
}

TEST_F(ProjectTest, APluginThatFailsToClearCannotTakeTheProcessDown) {
  testing::CapturingLogger log;
  auto project = Project::Create("p1");
  control().SetThrowOnClearSession(true);
  project.reset();  // would end the process if the exception left the destructor
  EXPECT_NE(log.Text().find("[error] Failed clear registered models of project p1: Scripted "
                            "ClearSession failure"),
            std::string::npos);
}

TEST_F(ProjectTest, EqualProjectIdsInTwoSessionsKeepTheirModelsApart) {
  auto first = Project::Create("p1");
  auto second = Project::Create("p1");
  first->LoadProjectFile(ChainFile("main_settings.json"));
  second->LoadProjectFile(ChainFile("main_settings.json"));
  SimplePluginsManager* manager = SimplePluginsManager::GetInstance();
  ASSERT_EQ(manager->GetModels(second->GetPluginSessionKey()).size(), 1u);
  first.reset();
  EXPECT_EQ(manager->GetModels(second->GetPluginSessionKey()).size(), 1u);
  EXPECT_EQ(control().ClearCount(second->GetPluginSessionKey()), 1);  // its own upload only
}

TEST_F(ProjectTest, EachChainFixtureLoadsOrFailsWithItsText) {
  struct Case {
    const char* file;
    const char* cause;  // empty: loads
  };
  const Case cases[] = {
      {"line.json", ""},
      {"line_bom.json", ""},
      {"main_settings.json", ""},
      {"no_id.json", "Chain id is not set"},
      {"array.json", "Invalid chain file: it is not JSON (starting '{' symbol expected)"},
      {"bom_only.json", "Invalid chain file: it is not JSON (starting '{' symbol expected)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    auto project = Project::Create("p1");
    const std::string path = ChainFile(c.file);
    if (*c.cause == '\0') {
      project->LoadProjectFile(path);
      EXPECT_EQ(std::get<std::string>(*project->GetChainProperties()->GetValue("zelph-project")),
                ChainText(c.file));
    } else {
      try {
        project->LoadProjectFile(path);
        ADD_FAILURE() << "loaded";
      } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(), LoadError(path, c.cause));
      }
      EXPECT_FALSE(project->GetChainProperties()->HasValue("zelph-project"));
    }
    EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  }
}

TEST_F(ProjectTest, ChainTextsThatCannotLoadNameTheirCause) {
  struct Case {
    std::string json;
    std::string cause;
  };
  const Case cases[] = {
      {"", "Failed parse json project: json string is empty"},
      {" \n\t ", "Invalid chain file: it is not JSON (starting '{' symbol expected)"},
      {"\xEF\xBB\xBF", "Invalid chain file: it is not JSON (starting '{' symbol expected)"},
      {"x{}", "Invalid chain file: it is not JSON (starting '{' symbol expected)"},
      {R"({"app": "nonsense"})",
       R"(JSON file is not a chain ("app" value is "nonsense", not "Davodavora"))"},
      {"{ \"app\": ",
       "Invalid chain file, probably it is not JSON: parse error at offset 9 "
       "(error code: 3)"},
      {R"({"app": "zelph-project", "zelph_chain": {"executor": {"name": "no id"}}})",
       "Chain id is not set"},
  };
  auto project = Project::Create("p1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    try {
      project->UploadProject(c.json, "/chains/inline.json");
      ADD_FAILURE() << "loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), LoadError("/chains/inline.json", c.cause));
    }
    EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  }
  // Still answers: the next upload goes through.
  project->UploadProject(ChainText("line.json"), "");
  EXPECT_EQ(project->GetChain()->GetId(), testing::kLineChainId);
}

TEST_F(ProjectTest, AnUploadBuildsBothStagesLinksAndTheConfiguration) {
  testing::CapturingLogger log(ZelphSeverityLevel::kInfo);
  auto project = Project::Create("p1");
  const std::string path = ChainFile("main_settings.json");
  project->LoadProjectFile(path);
  IDataProcessChain& chain = *project->GetChain();
  EXPECT_EQ(chain.GetId(), testing::kMainChainId);
  EXPECT_EQ(chain.GetSessionId(), project->GetPluginSessionKey());
  EXPECT_EQ(chain.GetContextPath(), path);
  EXPECT_EQ(chain.GetCurrentDir(), ChainFolder());
  EXPECT_EQ(chain.GetWorkersCount(), 3u);
  EXPECT_EQ(control().LoaderGate().Entered(), 1);
  // The Main model was registered for the project after the loading stage, so its worker
  // is the chain's main-settings worker and heads the settings tree.
  ASSERT_NE(chain.FindMainSettingWorker(), nullptr);
  EXPECT_EQ(chain.FindMainSettingWorker()->GetId(), testing::kMainWorkerId);
  ASSERT_NE(project->GetConfiguration(), nullptr);
  EXPECT_EQ(project->GetConfiguration()->main_worker_id, testing::kMainWorkerId);
  EXPECT_EQ(control().RegisterCount(project->GetPluginSessionKey()), 1);
  EXPECT_NE(log.Text().find("[info] Chain loaded time: "), std::string::npos);

  Property& mirror = *project->GetChainProperties();
  EXPECT_EQ(std::get<std::string>(*mirror.GetValue("chain.id")), testing::kMainChainId);
  EXPECT_EQ(std::get<std::string>(*mirror.GetValue("chain.name")), "Main settings");
  EXPECT_EQ(std::get<std::string>(*mirror.GetValue("chain.description")),
            "a dashboard of settings");

  project->LoadProjectFile(ChainFile("line.json"));
  EXPECT_EQ(chain.GetWorkersCount(), 3u);
  EXPECT_EQ(chain.GetLinksCount(), 2u);
  EXPECT_EQ(std::get<std::string>(*mirror.GetValue("chain.execution.strategy")), "graph");
  EXPECT_EQ(project->GetConfiguration()->main_worker_id, "");
}

TEST_F(ProjectTest, EveryUploadGetsANewHigherContextId) {
  auto first = Project::Create("p1");
  auto second = Project::Create("p2");
  first->LoadProjectFile(ChainFile("line.json"));
  const long long one = first->GetChain()->GetContextId();
  second->LoadProjectFile(ChainFile("line.json"));
  const long long two = second->GetChain()->GetContextId();
  first->LoadProjectFile(ChainFile("line.json"));
  const long long three = first->GetChain()->GetContextId();
  EXPECT_GT(one, 0);
  EXPECT_LT(one, two);
  EXPECT_LT(two, three);
}

TEST_F(ProjectTest, TheCurrentFolderIsTheParentOfThePath) {
  struct Case {
    const char* path;
    const char* folder;
  };
  const Case cases[] = {
      {"/solutions/app/chain.json", "/solutions/app"},
      {"/solutions/app//chain.json", "/solutions/app"},
      {"/chain.json", "/"},
      {"chain.json", ""},
      {"", ""},
  };
  auto project = Project::Create("p1");
  for (const Case& c : cases) {
    project->UploadProject(ChainText("line.json"), c.path);
    EXPECT_EQ(project->GetChain()->GetCurrentDir(), c.folder) << c.path;
  }
}

TEST_F(ProjectTest, AnUploadEmptiesTheCacheStatisticsAndStatuses) {
  auto project = Project::Create("p1");
  project->SetCache("/input:source", std::make_shared<PortDataScalar>(std::string("x")));
  project->SetCache("/statistic:w1", nullptr);
  project->GetStatistics().Set("w1", nullptr);
  project->SetObjectStatus("w1", 2);
  project->UploadProject(ChainText("line.json"), "");
  EXPECT_FALSE(project->GetServiceCache().Find("/input:source").has_value());
  EXPECT_FALSE(project->GetServiceCache().Find("/statistic:w1").has_value());
  EXPECT_FALSE(project->GetStatistics().Find("w1").has_value());
  EXPECT_FALSE(project->GetObjectStatuses().Find("w1").has_value());
}

TEST_F(ProjectTest, AMissingProjectFileLeavesTheProjectUntouched) {
  auto project = Project::Create("p1");
  project->LoadProjectFile(ChainFile("line.json"));
  const std::string key = project->GetPluginSessionKey();
  const std::string missing = ChainFile("missing.json");
  try {
    project->LoadProjectFile(missing);
    ADD_FAILURE() << "loaded";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(e.what(), "Failed open project file: '" + missing + "'");
  }
  EXPECT_EQ(project->GetChain()->GetId(), testing::kLineChainId);
  EXPECT_EQ(control().ClearCount(key), 1);
}

TEST_F(ProjectTest, AFailingLoadingStageLeavesTheProjectReadyWhateverItThrows) {
  auto project = Project::Create("p1");
  const std::string path = ChainFile("main_settings.json");
  control().SetLoaderFailure(testing::LoaderFailure::kStdException);
  try {
    project->LoadProjectFile(path);
    ADD_FAILURE() << "loaded";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(e.what(), LoadError(path, "Scripted loader failure"));
  }
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));

  control().SetLoaderFailure(testing::LoaderFailure::kOtherException);
  EXPECT_THROW(project->LoadProjectFile(path), int);
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));

  control().SetLoaderFailure(testing::LoaderFailure::kNone);
  project->LoadProjectFile(path);
  EXPECT_EQ(project->GetChain()->GetId(), testing::kMainChainId);
}

TEST_F(ProjectTest, AnUploadIntoABusyProjectIsRefusedAtOnceAndClearsNothing) {
  auto project = Project::Create("p1");
  const std::string key = project->GetPluginSessionKey();
  control().LoaderGate().Close();
  auto loading = std::async(std::launch::async,
                            [&] { project->LoadProjectFile(ChainFile("main_settings.json")); });
  ASSERT_TRUE(control().LoaderGate().WaitForInside(1));
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kLoading));
  // The first load still holds the gate: these return without waiting for it.
  for (int attempt = 0; attempt < 3; ++attempt) {
    try {
      project->UploadProject(ChainText("line.json"), "");
      ADD_FAILURE() << "accepted";
    } catch (const EvaluateCancelled& e) {
      EXPECT_STREQ(e.what(), "Chain not ready to execute, p1");
    }
  }
  EXPECT_THROW(project->LoadProjectFile(ChainFile("line.json")), EvaluateCancelled);
  EXPECT_EQ(control().ClearCount(key), 1);  // the running load's own clearing
  control().LoaderGate().Open();
  loading.get();
  EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady));
  EXPECT_EQ(project->GetChain()->GetId(), testing::kMainChainId);
}

TEST_F(ProjectTest, TheCacheLogsWhatItStoresAndReads) {
  testing::CapturingLogger log;
  auto project = Project::Create("p1");
  auto data = std::make_shared<PortDataScalar>(std::string("v"));
  project->SetCache("/input:a", data);
  project->SetCache("/input:none", nullptr);
  EXPECT_EQ(project->GetCache("/input:a").data, data);
  const DataEx none = project->GetCache("/input:none");
  EXPECT_EQ(none.data, nullptr);
  EXPECT_NE(none.modified, 0);
  EXPECT_EQ(project->GetCache("/input:missing").modified, 0);
  const std::string text = log.Text();
  EXPECT_NE(text.find("[debug] Set cache: /input:a, value: " + data->ToString() + "\n"),
            std::string::npos);
  EXPECT_NE(text.find("[debug] Set cache: /input:none, value: \n"), std::string::npos);
  EXPECT_NE(text.find("[debug] Get cache: /input:a, value: " + data->ToString() + "\n"),
            std::string::npos);
  EXPECT_NE(text.find("[debug] Get cache: /input:none, value: null\n"), std::string::npos);
  EXPECT_NE(text.find("[debug] Get cache: /input:missing, value: null\n"), std::string::npos);
}

}  // namespace
}  // namespace zelph
