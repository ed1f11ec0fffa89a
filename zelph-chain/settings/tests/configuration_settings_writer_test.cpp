// configuration_settings_writer_test.cpp
//
// The chain settings document of a project configuration.
#include <gtest/gtest.h>

#include <limits>

#include "capturing_logger.h"
#include "settings_fixture.h"
#include "zelph/settings/chain_settings_writer.h"

namespace zelph::testing {
namespace {

TEST(ConfigurationSettingsWriterTest, WritesTheGoldenTree) {
  EXPECT_EQ(WriteChainSettingsAsJson(JsonParser::kRapidJson, *MakeGoldenConfiguration()) + "\n",
            ReadGolden("configuration_defaults.json"));
}

TEST(ConfigurationSettingsWriterTest, OnlyTheDocumentBackEndWrites) {
  const auto configuration = MakeGoldenConfiguration();
  CapturingLogger logger;
  EXPECT_EQ(WriteChainSettingsAsJson(JsonParser::kMiniJson, *configuration), "");
  EXPECT_EQ(logger.Text(), "[error] Unsupported chain settings writer\n");
  logger.Clear();
  EXPECT_EQ(WriteChainSettingsAsJson(static_cast<JsonParser>(5), *configuration), "");
  EXPECT_EQ(logger.Text(), "");
}

TEST(ConfigurationSettingsWriterTest, UntypedControlsAndNonFiniteValuesStillWrite) {
  CapturingLogger logger;
  auto root = std::make_shared<SettingRoot>();
  BaseControl control;
  control.SetName("odd");
  auto untyped = std::make_shared<DataSettingControl>(
      "odd", control, PropertyValue{false, std::numeric_limits<double>::infinity()});
  untyped->value_type = nullptr;
  root->controls.push_back(untyped);
  const ProjectConfiguration configuration("chain", "", "", "", root);

  const std::string text = WriteChainSettingsAsJson(JsonParser::kRapidJson, configuration);
  EXPECT_NE(text.find(R"("value_type": "",)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("value": null)"), std::string::npos) << text;
  EXPECT_NE(logger.Text().find("[warning] Setting control without data type: 'odd'"),
            std::string::npos);
}

}  // namespace
}  // namespace zelph::testing
