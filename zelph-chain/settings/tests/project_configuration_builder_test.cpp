// project_configuration_builder_test.cpp
//
// Settings trees built from a live chain of the golden models.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "settings_chain.h"
#include "settings_fixture.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/settings/chain_settings_writer.h"
#include "zelph/settings/project_configuration_reader.h"
#include "zelph/settings/setting_id.h"

namespace zelph::testing {
namespace {

std::string Written(const ProjectConfiguration& configuration) {
  return WriteChainSettingsAsJson(JsonParser::kRapidJson, configuration) + "\n";
}

TEST(ProjectConfigurationBuilderTest, BuildsTheGoldenTreeWithStableIds) {
  const SettingsChain golden = MakeGoldenChain();
  const auto configuration = BuildProjectConfiguration(golden.chain, golden.models);
  EXPECT_EQ(Written(*configuration), ReadGolden("configuration_defaults.json"));
  EXPECT_EQ(configuration->chain_id, kChainId);
  EXPECT_EQ(configuration->main_worker_id, kDashboardWorkerId);
  EXPECT_EQ(configuration->caption, "Golden chain");
  const std::string camera_path = std::string(kDashboardWorkerId) + "/camera";
  const auto camera = configuration->FindSetting(MakeSettingId(camera_path));
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->parent_id, kDashboardWorkerId);
  EXPECT_EQ(camera->FindControl("gain")->id, camera_path + "/gain");
  const auto blur = configuration->FindSetting(kBlurWorkerId);
  EXPECT_EQ(blur->FindControl("radius")->id, MakeSettingId("blur/radius"));
  EXPECT_EQ(std::dynamic_pointer_cast<SettingWorker>(blur)->worker, golden.blur);
}

TEST(ProjectConfigurationBuilderTest, GoldenDocumentReachesTreeAndWorkers) {
  const SettingsChain golden = MakeGoldenChain();
  const auto configuration = BuildProjectConfiguration(golden.chain, golden.models);
  ASSERT_TRUE(
      ApplyProjectConfigurationValues(ReadGolden("project_configuration.json"), configuration));
  EXPECT_EQ(Written(*configuration), ReadGolden("configuration_applied.json"));
  // "data" goes through the workers' typed setters, converted to their controls' types.
  EXPECT_EQ(golden.blur->GetProperties()->GetValue("radius"), PropertyVariant(7));
  EXPECT_EQ(golden.blur->GetProperties()->GetValue("sigma"), PropertyVariant(2.25));
}

TEST(ProjectConfigurationBuilderTest, MainWorkerPropertiesAreTheDefaults) {
  const SettingsChain golden = MakeGoldenChain();
  Property& properties = *golden.dashboard->GetProperties();
  properties.SetValue("threshold", 12);
  properties.SetValue("camera", std::string(R"({"gain": 6, "@deeper": {"x": 1}})"));
  properties.SetValue("settings", std::string(R"({"enabled": false})"));
  golden.blur->GetProperties()->SetValue("radius", 4);

  const auto configuration = BuildProjectConfiguration(golden.chain, golden.models);
  const auto main = configuration->FindMainSetting();
  EXPECT_EQ(main->GetValue("threshold")->value, PropertyVariant(12));
  EXPECT_TRUE(main->GetValue("threshold")->changed);
  EXPECT_EQ(main->GetValue("enabled")->value, PropertyVariant(false));
  EXPECT_EQ(main->FindChildByName("camera")->GetValue("gain")->value, PropertyVariant(6LL));
  const auto blur = configuration->FindSetting(kBlurWorkerId);
  EXPECT_EQ(blur->GetValue("radius")->value, PropertyVariant(4));
  EXPECT_FALSE(blur->GetValue("sigma")->changed);
}

TEST(ProjectConfigurationBuilderTest, BadDefaultsAreLoggedOrFailTheBuild) {
  struct Case {
    const char* camera_default;
    const char* settings_text;
    const char* failure;  // the build's exception, or null
    const char* logged;
  };
  const Case kCases[] = {
      {"{", "", nullptr,
       "Parse default setting value. Failed parse json. Error(offset: 1) error: 4"},
      {"", "{", nullptr, "Failed to parse JSON 'settings'. Error(offset: 1) error: 4"},
      {R"({"gain": null, "nope": 1, "exposure": [1]})", "", nullptr,
       "Setting control not found: nope"},
      {R"({"gain": true})", "", "Unsupported bool conversion", ""},
      {R"({"gain": 1.5})", "", "Something wrong in JSON file!", ""},
      {"[]", "", "Something wrong in JSON file!", ""},
      {"", "[]", "Something wrong in JSON file!", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.camera_default);
    const SettingsChain golden = MakeGoldenChain();
    golden.dashboard->GetProperties()->SetValue("camera", std::string(c.camera_default));
    golden.dashboard->GetProperties()->SetValue("settings", std::string(c.settings_text));
    CapturingLogger logger;
    if (c.failure != nullptr) {
      try {
        BuildProjectConfiguration(golden.chain, golden.models);
        ADD_FAILURE() << "built";
      } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), c.failure);
      }
      continue;
    }
    const auto configuration = BuildProjectConfiguration(golden.chain, golden.models);
    EXPECT_NE(logger.Text().find(c.logged), std::string::npos) << logger.Text();
    const auto main = configuration->FindMainSetting();
    EXPECT_EQ(main->GetValue("enabled")->value, PropertyVariant(true));
    EXPECT_EQ(main->FindChildByName("camera")->GetValue("gain")->value, PropertyVariant(2LL));
  }
}

// A "settings" control naming a model already on the path (its own model, or an ancestor)
// stays a plain control; the tree is finite.
TEST(ProjectConfigurationBuilderTest, SettingsModelsThatNameTheirPathStayPlainControls) {
  BaseModelStructure dashboard = DashboardStructure();
  BaseControl again;
  again.SetName("again");
  again.SetValueTypeName("settings");
  again.SetSettingsId(kDashboardUuid);
  dashboard.AddControl(again);
  BaseModelStructure camera = CameraStructure();
  BaseControl back = again;
  back.SetName("back");
  back.SetSettingsId("");
  back.SetValueClassName("Dashboard");
  camera.AddControl(back);
  dashboard.SetRoleClassName("com.example.Dashboard");
  const std::vector<std::shared_ptr<IDataProcessModel>> models = {
      MakeSettingsModel(std::move(dashboard)), MakeSettingsModel(std::move(camera))};
  auto chain = LinkedChain::Create();
  chain->SetContextId(7);
  AddSettingsWorker(*chain, models[0], kDashboardWorkerId, "dashboard");

  CapturingLogger logger;
  const auto configuration = BuildProjectConfiguration(chain, models);
  const auto main = configuration->FindMainSetting();
  ASSERT_EQ(main->children.size(), 1u);
  EXPECT_TRUE(main->HasProperty("again"));
  EXPECT_TRUE(main->children.front()->HasProperty("back"));
  EXPECT_TRUE(main->children.front()->children.empty());
  EXPECT_NE(logger.Text().find("Dashboard session model not found: 'again'"), std::string::npos);
  EXPECT_NE(logger.Text().find("Dashboard session model not found: 'back'"), std::string::npos);
}

TEST(ProjectConfigurationBuilderTest, ChainWithoutMainWorkerHasOnlyTheWorkerGroup) {
  const SettingsChain golden = MakeGoldenChain();
  golden.chain->SetContextId(8);  // the dashboard model belongs to context 7
  const auto configuration = BuildProjectConfiguration(golden.chain, golden.models);
  EXPECT_EQ(configuration->FindMainSetting(), nullptr);
  EXPECT_EQ(configuration->main_worker_id, "");
  EXPECT_EQ(configuration->FindWorkerSetting()->children.size(), 3u);
  CapturingLogger logger;
  EXPECT_TRUE(
      ApplyProjectConfigurationValues(ReadGolden("project_configuration.json"), configuration));
  EXPECT_EQ(logger.Text().find("[warning]"), std::string::npos);
}

}  // namespace
}  // namespace zelph::testing
