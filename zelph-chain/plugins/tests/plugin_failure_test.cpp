// Faulty plug-ins: each gives its warnings or errors, and the manager stays usable.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "capturing_logger.h"
#include "fixture_models.h"
#include "zelph/config/zelph_config.h"
#include "zelph/model/data_process.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::string kRoot = TEST_PLUGIN_ROOT;
const std::string kNotALibraryFolder = NOT_A_LIBRARY_FOLDER;

// The newest model of the empty session with this name, or empty.
std::shared_ptr<IDataProcessModel> NewestLoadedModelNamed(const std::string& name) {
  for (const auto& model : SimplePluginsManager::GetInstance()->GetModels("")) {
    if (model->GetStructure().GetName() == name) return model;
  }
  return nullptr;
}

class PluginFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_->SetBinHome(kRoot);
    config_->SetIgnoreExtInitError(false);
  }
  void TearDown() override { config_->SetIgnoreExtInitError(false); }

  // Loads `folder` and checks the result and that the recorded reason is the first one.
  void ExpectLoadFails(const std::string& folder, const std::string& error) {
    const std::string reason_before = config_->GetInitializationExceptionReason();
    EXPECT_EQ(manager_->LoadPlugin(folder), 1);
    const std::string text = logger_.Text();
    EXPECT_THAT(text, HasSubstr("[error] " + error));
    EXPECT_THAT(text, HasSubstr("[error] Failed load plugin: " + folder + " error: " + error));
    const std::string reason = "Cannot initialize Davodavora plugin:\n" + folder + "\n" + error;
    EXPECT_EQ(config_->GetInitializationExceptionReason(),
              reason_before.empty() ? reason : reason_before);
  }

  ZelphConfig* config_ = ZelphConfig::GetInstance();
  SimplePluginsManager* manager_ = SimplePluginsManager::GetInstance();
  zelph::testing::CapturingLogger logger_;
};

TEST_F(PluginFailureTest, MissingEntryPointsAreWarnedAboutAndTheirEventsSkipped) {
  const std::string library = kRoot + "/only_loadmodels/only_loadmodels.so";
  EXPECT_EQ(manager_->LoadPlugin("only_loadmodels"), 0);
  const std::string text = logger_.Text();
  for (const std::string warning :
       {"Required 'RegisterAvailableModels', plugin: ", "Required 'ClearSession', plugin: ",
        "Required 'BeforeExecutingAllPtr', plugin: ",
        "Required 'AfterExecutingAllPtr', plugin: "}) {
    EXPECT_THAT(text, HasSubstr("[warning] " + warning + library));
  }
  EXPECT_THAT(text, Not(HasSubstr("'LoadModels'")));
  EXPECT_NE(manager_->FindModel(fixture::kOnlyLoadModelsModel, ""), nullptr);
  manager_->RegisterAvailableModels("s");
  manager_->BeforeExecutingAll("s");
  manager_->AfterExecutingAll("s");
  manager_->ClearRegisteredModels("s");
}

// A library without LoadModels loads, with no models of its own (not a failure), and the
// "-d.so" name is found when the plain one is absent.
TEST_F(PluginFailureTest, LibraryWithoutEntryPointsLoadsWithNoModels) {
  const std::string library = kRoot + "/bare/bare-d.so";
  const std::uint64_t count = manager_->GetModelCount();
  EXPECT_EQ(manager_->LoadPlugin(kRoot + "/bare"), 0);
  const std::string text = logger_.Text();
  EXPECT_THAT(text, HasSubstr("[debug] Plugin DLL found: '" + library + "'"));
  EXPECT_THAT(text, HasSubstr("[warning] Required 'LoadModels', plugind: " + library));
  EXPECT_THAT(text, Not(HasSubstr("Failed load models")));
  EXPECT_EQ(manager_->GetModelCount(), count);
}

TEST_F(PluginFailureTest, LoadModelsReportingFailureFailsThePlugin) {
  const std::string library = kRoot + "/fails/fails.so";
  ExpectLoadFails("fails", "Cannot initialize '" + library + "'\n\nFailed load models: " + library);
  EXPECT_EQ(manager_->FindModel("6f1e0000-0000-4000-8000-0000000000d1"), nullptr);
}

TEST_F(PluginFailureTest, NonStandardExceptionFromLoadModelsIsAnUnknownError) {
  const std::string library = kRoot + "/throws_on_load/throws_on_load.so";
  ExpectLoadFails("throws_on_load", "Cannot initialize '" + library + "'\n\nUnknown error");
}

TEST_F(PluginFailureTest, UnloadableLibraryCarriesTheLoaderReason) {
  config_->SetIgnoreExtInitError(true);
  const std::uint64_t count = manager_->GetModelCount();
  // A text file named as a plug-in: dlopen refuses it.
  manager_->LoadPlugins(kNotALibraryFolder);
  EXPECT_EQ(manager_->GetModelCount(), count);
  const std::string library = kNotALibraryFolder + "/fake.so";
  const std::string text = logger_.Text();
  EXPECT_THAT(text, HasSubstr("[error] Cannot initialize '" + library +
                              "'\n\nCan't load library dlopen(" + library + "), error: "));
}

// Without the ignore switch the plug-in fails at the second model, after the first was
// registered: that model must keep working, so its library must stay loaded.
TEST_F(PluginFailureTest, DuplicateIdFailsThePluginButItsRegisteredModelKeepsWorking) {
  const std::string library = kRoot + "/dup/dup.so";
  const std::string reason_before = config_->GetInitializationExceptionReason();
  EXPECT_EQ(manager_->LoadPlugin("dup"), 1);
  const std::string text = logger_.Text();
  EXPECT_THAT(text, HasSubstr("[warning] Model ID duplicate found .dup-second uuid: "));
  EXPECT_THAT(text, HasSubstr("[error] Cannot initialize '" + library +
                              "'\n\nModel ID duplicate found .dup-second uuid: "));

  auto survivor = NewestLoadedModelNamed("dup-first");
  ASSERT_NE(survivor, nullptr);
  auto worker = survivor->CreateAndInitializeWorker(survivor, "after-failure");
  ASSERT_NE(worker, nullptr);
  EXPECT_EQ(worker->GetDataProcessModel(), survivor.get());
}

TEST_F(PluginFailureTest, DuplicateIdIsSkippedWhenErrorsAreIgnored) {
  config_->SetIgnoreExtInitError(true);
  EXPECT_EQ(manager_->LoadPlugin("dup"), 0);
  auto first = NewestLoadedModelNamed("dup-first");
  ASSERT_NE(first, nullptr);
  std::size_t with_that_id = 0;
  for (const auto& model : manager_->GetModels(""))
    with_that_id += model->GetId() == first->GetId();
  EXPECT_EQ(with_that_id, 1u);
  EXPECT_THAT(logger_.Text(), HasSubstr("[warning] Model ID duplicate found .dup-second uuid: "));
}

// Runs in a process of its own: from here on every session event meets the throwing plug-in
// first.
TEST_F(PluginFailureTest, ExceptionsFromSessionEventsReachTheCallerAfterTheRemoval) {
  ASSERT_EQ(manager_->LoadPlugin("throws"), 0);
  EXPECT_THROW(manager_->RegisterAvailableModels("s"), std::runtime_error);
  EXPECT_THROW(manager_->BeforeExecutingAll("s"), std::runtime_error);
  EXPECT_THROW(manager_->AfterExecutingAll("s"), std::runtime_error);

  ASSERT_TRUE(
      manager_->AddModel(fixture::MakeModel("6f1e0000-0000-4000-8000-0000000000f1", "x"), "S"));
  EXPECT_THROW(manager_->ClearRegisteredModels("S"), std::runtime_error);
  EXPECT_TRUE(manager_->GetModels("s").empty());

  // The registry goes on working.
  auto model = fixture::MakeModel("6f1e0000-0000-4000-8000-0000000000f2", "y");
  EXPECT_TRUE(manager_->AddModel(model, "other"));
  EXPECT_EQ(manager_->FindModel("6f1e0000-0000-4000-8000-0000000000f2", "OTHER"), model);
}

// Every library of the tree is tried; with the ignore switch the faulty ones are logged
// and skipped, and the walk goes on. Runs in a process of its own: it loads the throwing
// plug-in too.
TEST_F(PluginFailureTest, LoadPluginsWalksTheWholeTree) {
  config_->SetIgnoreExtInitError(true);
  EXPECT_NO_THROW(manager_->LoadPlugins(kRoot));
  const std::string text = logger_.Text();
  for (const std::string library : {"/fails/fails.so", "/throws_on_load/throws_on_load.so",
                                    "/good/good.so", "/bare/bare-d.so", "/dup/dup.so"}) {
    EXPECT_THAT(text, HasSubstr("Loading DLL: '" + kRoot + library + "'")) << library;
  }
  EXPECT_THAT(text, HasSubstr("[error] Cannot initialize '" + kRoot + "/fails/fails.so'"));
  // Without it the first failure ends the walk.
  config_->SetIgnoreExtInitError(false);
  EXPECT_THROW(manager_->LoadPlugins(kRoot), std::runtime_error);
}

}  // namespace
