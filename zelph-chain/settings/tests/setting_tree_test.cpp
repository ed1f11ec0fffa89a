// setting_tree_test.cpp
//
// Settings ids, searches over a settings tree, and its debug print.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "settings_fixture.h"
#include "zelph/settings/setting_id.h"

namespace zelph::testing {
namespace {

TEST(MakeSettingIdTest, MixesPathBytesIntoFixedUuids) {
  struct Case {
    const char* text;
    const char* id;
  };
  const Case kCases[] = {
      {"", "00000000-0000-0000-0000-000000000000"},
      {"abc", "7b4ae415-c7b2-1b59-0000-000000000000"},
      // Bytes above 0x7f are mixed sign-extended, as on the platforms the ids came from.
      {"\xc3\xa9", "f88967b7-0694-1bfc-0000-000000000000"},
  };
  for (const Case& c : kCases) EXPECT_EQ(MakeSettingId(c.text), c.id) << c.text;
}

TEST(ProjectConfigurationTest, FindsNodesInPreOrderAndTheRootByTheEmptyId) {
  const auto configuration = MakeGoldenConfiguration();
  EXPECT_EQ(configuration->FindSetting(""), configuration->root);
  EXPECT_TRUE(configuration->HasSetting(""));
  EXPECT_FALSE(configuration->HasProperty("", "threshold"));

  // The main-settings node and the dashboard's worker node share the worker's id: the one
  // met first in pre-order wins.
  const auto found = configuration->FindSetting(kDashboardWorkerId);
  EXPECT_EQ(found, configuration->FindMainSetting());
  EXPECT_TRUE(configuration->HasProperty(kDashboardWorkerId, "threshold"));
  EXPECT_FALSE(configuration->HasProperty(kDashboardWorkerId, "camera"));
  EXPECT_EQ(configuration->FindSetting(kBlurWorkerId)->name, "blur");
  EXPECT_EQ(configuration->FindSetting("no such id"), nullptr);
  EXPECT_EQ(configuration->FindWorkerSetting()->children.size(), 3u);
}

TEST(ProjectConfigurationTest, SetValueChangesOnlyTheFirstControlOfThatName) {
  const auto configuration = MakeGoldenConfiguration();
  const auto main = configuration->FindMainSetting();
  main->controls.push_back(std::make_shared<DataSettingControl>(*main->controls.front()));

  EXPECT_TRUE(configuration->SetValue(kDashboardWorkerId, "threshold", PropertyValue{false, 8}));
  EXPECT_EQ(main->controls.front()->value.value, PropertyVariant(8));
  EXPECT_EQ(main->controls.back()->value.value, PropertyVariant(5));
  const auto value = configuration->GetValue(kDashboardWorkerId, "threshold");
  ASSERT_TRUE(value);
  EXPECT_FALSE(value->changed);  // the mark as it was passed in

  EXPECT_FALSE(configuration->SetValue("no such id", "threshold", PropertyValue{true, 1}));
  EXPECT_FALSE(configuration->SetValue(kDashboardWorkerId, "missing", PropertyValue{true, 1}));
  EXPECT_FALSE(configuration->GetValue("no such id", "threshold"));
}

TEST(ProjectConfigurationTest, KindSearchLooksOnlyAtTheRootsFirstChildOfTheKind) {
  auto root = std::make_shared<SettingRoot>();
  // A plain node of the main kind hides a later MainSetting.
  root->children.push_back(std::make_shared<SettingNode>("a", "a", "", kMainSetting, "", ""));
  root->children.push_back(std::make_shared<MainSetting>("b", "b", "", kMainSetting, "", ""));
  const ProjectConfiguration configuration("chain", "", "", "", root);
  EXPECT_EQ(configuration.FindMainSetting(), nullptr);
  EXPECT_EQ(configuration.FindWorkerSetting(), nullptr);
  EXPECT_EQ(configuration.id.size(), 36u);
  EXPECT_NE(ProjectConfiguration(configuration).id, "");
}

TEST(SettingNodeTest, DebugPrintIndentsControlsAndChildrenByFour) {
  CapturingLogger logger(ZelphSeverityLevel::kDebug);
  const auto configuration = MakeGoldenConfiguration();
  configuration->FindMainSetting()->DebugPrint(0);
  const std::string text = logger.Text();
  EXPECT_NE(text.find(std::string("[debug] Dashboard [") + kDashboardWorkerId + "]\n"),
            std::string::npos);
  EXPECT_NE(
      text.find(std::string("[debug]     - threshold [") + kDashboardWorkerId + "/threshold]\n"),
      std::string::npos);
  EXPECT_NE(text.find("[debug]     camera ["), std::string::npos);
  EXPECT_NE(text.find("[debug]         - exposure ["), std::string::npos);
}

TEST(DataSettingControlTest, KeepsTheControlsTextsAndTheGivenValue) {
  BaseControl control;
  control.SetName("plain");
  const DataSettingControl setting("node/plain", control, PropertyValue{true, 3.5});
  EXPECT_EQ(setting.edition_type, "unknown");
  EXPECT_EQ(setting.url, "");
  EXPECT_EQ(setting.ToString(), "plain [node/plain]");
  EXPECT_TRUE(setting.value.changed);
  EXPECT_EQ(setting.value.value, PropertyVariant(3.5));
}

}  // namespace
}  // namespace zelph::testing
