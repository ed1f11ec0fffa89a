// The plug-in manager with a plug-in that works: loading, models per session, workers,
// session events, the data-type table, and where LoadPlugin looks for a library.
#include "zelph/plugins/simple_plugins_manager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capturing_logger.h"
#include "fixture_models.h"
#include "test_model.h"
#include "zelph/config/zelph_config.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_type.h"

namespace {

using ::testing::HasSubstr;
using zelph::testing::Script;
using ModelList = std::vector<std::shared_ptr<IDataProcessModel>>;

std::vector<std::string> IdsOf(const ModelList& models) {
  std::vector<std::string> ids;
  for (const auto& model : models) ids.push_back(model->GetId());
  return ids;
}

// The id of the scripted test model of `script`, which the "good" plug-in serves.
std::string IdOf(Script script) { return zelph::testing::MakeTestModel(script)->GetId(); }

class PluginManagerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ZelphConfig::GetInstance()->SetBinHome(TEST_PLUGIN_ROOT);
    ZelphConfig::GetInstance()->SetIgnoreExtInitError(false);
    zelph::testing::CapturingLogger logger;
    ASSERT_EQ(SimplePluginsManager::GetInstance()->LoadPlugin("good"), 0) << logger.Text();
    load_log_ = new std::string(logger.Text());
  }

  // What was logged while the plug-in loaded.
  static inline const std::string* load_log_ = nullptr;

  SimplePluginsManager* manager_ = SimplePluginsManager::GetInstance();
  zelph::testing::CapturingLogger logger_;
};

TEST_F(PluginManagerTest, LoadedPluginDeliversItsModelsUnderTheEmptySession) {
  const ModelList loaded = manager_->GetModels("");
  ASSERT_EQ(IdsOf(loaded),
            (std::vector<std::string>{IdOf(Script::kPassThrough), IdOf(Script::kNoOp)}));
  EXPECT_EQ(manager_->FindModel(IdOf(Script::kNoOp)), loaded[1]);
  EXPECT_EQ(loaded[1]->GetSessionId(), "");
  // LoadModels hears the bin home and the library's folder.
  const std::string root = TEST_PLUGIN_ROOT;
  EXPECT_THAT(*load_log_, HasSubstr("good: LoadModels '" + root + "' '" + root + "/good'"));
}

TEST_F(PluginManagerTest, SessionsGetTheirOwnModelsFoundListedAndClearedApart) {
  const std::uint64_t count_before = manager_->GetModelCount();
  manager_->RegisterAvailableModels("Project-A");
  manager_->RegisterAvailableModels("project-b");
  EXPECT_EQ(manager_->GetModelCount(), count_before + 4);
  EXPECT_THAT(logger_.Text(), HasSubstr("good: RegisterAvailableModels 'Project-A'"));

  // Newest first, whatever the case of the key.
  const std::vector<std::string> newest_first{IdOf(Script::kFailing), IdOf(Script::kPassThrough)};
  EXPECT_EQ(IdsOf(manager_->GetModels("PROJECT-A")), newest_first);
  EXPECT_EQ(IdsOf(manager_->GetModels("project-b")), newest_first);
  EXPECT_EQ(IdsOf(manager_->GetModels()).front(), IdOf(Script::kFailing));

  auto model_a = manager_->FindModel(IdOf(Script::kFailing), "project-A");
  auto model_b = manager_->FindModel(IdOf(Script::kFailing), "Project-B");
  ASSERT_TRUE(model_a && model_b);
  EXPECT_NE(model_a, model_b);
  EXPECT_EQ(model_a->GetSessionId(), "project-a");
  // Without a session the most recent registration wins.
  EXPECT_EQ(manager_->FindModel(IdOf(Script::kFailing)), model_b);

  // Workers come from the plug-in's code and run its script.
  auto worker = model_a->CreateAndInitializeWorker(model_a, "Project-A");
  ASSERT_TRUE(worker);
  EXPECT_EQ(worker->GetDataProcessModel(), model_a.get());
  EXPECT_FALSE(worker->HasLastError());
  worker->Execute(zelph::ExecutionStage::kRunTime);
  EXPECT_TRUE(worker->HasLastError());

  manager_->ClearRegisteredModels("Project-A");
  EXPECT_TRUE(manager_->GetModels("project-a").empty());
  EXPECT_EQ(manager_->FindModel(IdOf(Script::kFailing), "project-a"), nullptr);
  EXPECT_EQ(IdsOf(manager_->GetModels("project-b")), newest_first);
  EXPECT_EQ(manager_->GetModelCount(), count_before + 2);
  // The plug-in hears the key as the caller gave it.
  EXPECT_THAT(logger_.Text(), HasSubstr("good: ClearSession 'Project-A'"));
  // A worker keeps its model alive after the registry let go of it.
  EXPECT_EQ(worker->GetDataProcessModel()->GetId(), IdOf(Script::kFailing));

  manager_->ClearRegisteredModels("project-b");
  EXPECT_EQ(manager_->GetModelCount(), count_before);
  EXPECT_EQ(manager_->GetModels("").size(), 2u);
}

TEST_F(PluginManagerTest, RunEventsReachThePlugin) {
  manager_->BeforeExecutingAll("Run-1");
  manager_->AfterExecutingAll("Run-1");
  EXPECT_THAT(logger_.Text(), HasSubstr("good: BeforeExecutingAll 'Run-1'"));
  EXPECT_THAT(logger_.Text(), HasSubstr("good: AfterExecutingAll 'Run-1'"));
}

TEST_F(PluginManagerTest, AddModelRefusesAnIdTwiceInOneSessionWhateverTheCase) {
  const std::string id = "6f1e0000-0000-4000-8000-0000000000e1";
  EXPECT_TRUE(manager_->AddModel(fixture::MakeModel(id, "first"), "Mixed-Case"));
  EXPECT_FALSE(manager_->AddModel(fixture::MakeModel(id, "again"), "mixed-case"));
  EXPECT_FALSE(manager_->AddModel(fixture::MakeModel(id, "again"), "MIXED-CASE"));
  EXPECT_TRUE(manager_->AddModel(fixture::MakeModel(id, "other"), "other-session"));
  EXPECT_FALSE(manager_->AddModel(nullptr, "other-session"));
  EXPECT_EQ(manager_->GetModels("mIxEd-cAsE").size(), 1u);
  EXPECT_NE(manager_->FindModel(id, "MIXED-case"), nullptr);
  manager_->ClearRegisteredModels("MIXED-CASE");
  manager_->ClearRegisteredModels("other-session");
  EXPECT_EQ(manager_->FindModel(id), nullptr);
}

TEST_F(PluginManagerTest, ClearingLogsWhatItRemovedAndWhatIsLeft) {
  manager_->AddModel(fixture::MakeModel("6f1e0000-0000-4000-8000-0000000000e2", "logged"),
                     "Logged");
  manager_->ClearRegisteredModels("Logged");
  const std::string text = logger_.Text();
  EXPECT_THAT(text, HasSubstr("[debug] Session: logged, Model removed: "));
  EXPECT_THAT(text, HasSubstr("uuid: 6f1e0000-0000-4000-8000-0000000000e2"));
  EXPECT_THAT(
      text, HasSubstr("[debug] Clear registered models, session: Logged, count session model: 0"));
}

TEST_F(PluginManagerTest, TwelveBuiltInDataTypesAreRegisteredAtLoad) {
  using namespace zelph;
  for (IDataType* type :
       {DataTypeBool::GetInstance(), DataTypeByte::GetInstance(), DataTypeDouble::GetInstance(),
        DataTypeFloat::GetInstance(), DataTypeInt32::GetInstance(), DataTypeInt64::GetInstance(),
        DataTypeMat::GetInstance(), DataTypeNull::GetInstance(), DataTypeNumbers::GetInstance(),
        DataTypeScalar::GetInstance(), DataTypeShort::GetInstance(), DataTypeStr::GetInstance()}) {
    EXPECT_EQ(manager_->FindDataType(type->GetUuid()), type) << type->GetName();
    // By name the first type in uuid order that accepts it wins; aliases overlap.
    IDataType* by_name = manager_->FindDataType(type->GetName());
    ASSERT_NE(by_name, nullptr) << type->GetName();
    EXPECT_TRUE(by_name->IsCompatibleName(type->GetName())) << type->GetName();
    EXPECT_FALSE(manager_->RegisterDataType(type));
  }
  EXPECT_EQ(manager_->FindDataType(DataTypeContours::GetInstance()->GetUuid()), nullptr);
  EXPECT_EQ(manager_->FindDataType(DataTypeMat::GetInstance()->GetName()),
            DataTypeMat::GetInstance());
  EXPECT_EQ(manager_->FindDataType("contours"), nullptr);
  EXPECT_EQ(manager_->FindDataType("no such type"), nullptr);
  EXPECT_FALSE(manager_->RegisterDataType(nullptr));
}

TEST_F(PluginManagerTest, LoadPluginWithoutAUsableBinHomeLoadsNothing) {
  ZelphConfig* config = ZelphConfig::GetInstance();
  const std::uint64_t count = manager_->GetModelCount();
  config->SetBinHome("");
  EXPECT_EQ(manager_->LoadPlugin("good"), 0);
  config->SetBinHome(std::string(TEST_PLUGIN_ROOT) + "/good/good.so");
  EXPECT_EQ(manager_->LoadPlugin("good"), 0);
  config->SetBinHome(TEST_PLUGIN_ROOT);
  EXPECT_EQ(manager_->GetModelCount(), count);
  EXPECT_THAT(logger_.Text(), HasSubstr("[warning] Zelph home path is undefined"));
  EXPECT_THAT(logger_.Text(), HasSubstr("[warning] Zelph home path: '" TEST_PLUGIN_ROOT
                                        "/good/good.so' is not directory"));
}

TEST_F(PluginManagerTest, MissingFolderOrLibraryFailsOrIsSkippedAsConfigured) {
  struct Case {
    std::string folder;
    std::string warning;
  };
  const std::string root = TEST_PLUGIN_ROOT;
  const std::vector<Case> cases{
      {"absent", "Plugin path: '" + root + "/absent' is not directory"},
      // A trailing separator leaves an empty folder name: ".so" is looked for.
      {root + "/good/", "Plugin DLL not found: '" + root + "/good/.so'"},
  };
  ZelphConfig* config = ZelphConfig::GetInstance();
  for (const Case& c : cases) {
    for (bool ignore : {true, false}) {
      logger_.Clear();
      config->SetIgnoreExtInitError(ignore);
      const std::string reason_before = config->GetInitializationExceptionReason();
      EXPECT_EQ(manager_->LoadPlugin(c.folder), ignore ? 0 : 1) << c.folder;
      const std::string text = logger_.Text();
      EXPECT_THAT(text, HasSubstr("[warning] " + c.warning));
      if (ignore) continue;
      EXPECT_THAT(text,
                  HasSubstr("[error] Failed load plugin: " + c.folder + " error: " + c.warning));
      const std::string reason =
          "Cannot initialize Davodavora plugin:\n" + c.folder + "\n" + c.warning;
      EXPECT_EQ(config->GetInitializationExceptionReason(),
                reason_before.empty() ? reason : reason_before);
    }
  }
  config->SetIgnoreExtInitError(false);
}

TEST_F(PluginManagerTest, LoadPluginsOfAMissingFolderDoesNothing) {
  const std::uint64_t count = manager_->GetModelCount();
  manager_->LoadPlugins(std::string(TEST_PLUGIN_ROOT) + "/absent");
  EXPECT_EQ(manager_->GetModelCount(), count);
}

}  // namespace
