// project_configuration_document_test.cpp
//
// Configuration documents and bare settings objects applied to a settings tree: the golden
// documents change exactly the values they name, and bad documents fail or warn as they
// should and leave the tree as it was (or as far as it was applied).
#include <gtest/gtest.h>

#include <string>

#include "capturing_logger.h"
#include "settings_fixture.h"
#include "zelph/settings/chain_settings_writer.h"
#include "zelph/settings/project_configuration_reader.h"

namespace zelph::testing {
namespace {

std::string Written(const ProjectConfiguration& configuration) {
  return WriteChainSettingsAsJson(JsonParser::kRapidJson, configuration) + "\n";
}

TEST(ProjectConfigurationDocumentTest, GoldenDocumentsChangeExactlyTheValuesTheyName) {
  for (const char* golden : {"project_configuration.json", "settings_object.json"}) {
    SCOPED_TRACE(golden);
    const auto configuration = MakeGoldenConfiguration();
    const std::string id = configuration->id;
    ASSERT_TRUE(ApplyProjectConfigurationValues(ReadGolden(golden), configuration));
    EXPECT_EQ(Written(*configuration), ReadGolden("configuration_applied.json"));
    EXPECT_EQ(configuration->id, id);
    EXPECT_EQ(configuration->main_worker_id, kDashboardWorkerId);
  }
}

TEST(ProjectConfigurationDocumentTest, FullFormReplacesIdentityTexts) {
  const auto configuration = MakeGoldenConfiguration();
  ASSERT_TRUE(
      ApplyProjectConfigurationValues(ReadGolden("project_configuration.json"), configuration));
  EXPECT_EQ(configuration->chain_id, "cccccccc-0000-4000-8000-000000000002");
  EXPECT_EQ(configuration->caption, "Golden chain, tuned");
  EXPECT_EQ(configuration->description, "Values of the settings fixtures");
}

// Documents that fail as a whole or report members: the result, a text that must be
// logged, and whether the tree still writes as the untouched defaults.
TEST(ProjectConfigurationDocumentTest, BadDocumentsFailOrWarnAndKeepTheTree) {
  struct Case {
    std::string json;
    bool result;
    std::string logged;
    bool tree_unchanged = true;
  };
  const std::string deep = std::string(300, '[') + std::string(300, ']');
  const Case kCases[] = {
      {"", false,
       "Failed apply project configuration, error: Parser error, offset: 0, error code: 1"},
      {"{} x", false, "Parser error, offset: 3, error code: 2"},
      {deep, false,
       "Failed apply project configuration, error: Parser error, offset: 256, error code: 16"},
      {"[]", false, "error: Something wrong in JSON file!"},
      {R"({"app": 1})", false, "error: unexpected 'app' value"},
      {R"({"app": "chain", "chain_id": "x"})", false,
       "unexpected 'app' value, expected 'zelph-project-configuration'"},
      {R"({"app": "zelph-project-configuration"})", false, "error: unexpected 'chain_id' value"},
      {R"({"app": "zelph-project-configuration", "chain_id": 5})", false,
       "error: unexpected 'chain_id' value"},
      // Wrong types under the optional keys are passed over.
      {R"({"app": "zelph-project-configuration", "chain_id": "c", "caption": 1,
           "description": [], "settings": [], "data": "x"})",
       true, ""},
      // Without "app" every member is a control of the main-settings node.
      {R"({"chain_id": "c"})", true,
       "Failed update main setting subtree actual value: 'property not found: chain_id'"},
      {R"({"threshold": null})", true, "Unsupported configuration setting type"},
      {R"({"threshold": {"a": 1}})", true, "Unsupported configuration setting type"},
      {R"({"threshold": 3.9})", true,
       "Cannot update settings: \"threshold\", error: Something wrong in JSON file!"},
      {R"({"threshold": true, "enabled": false})", true,
       "Cannot update settings: \"threshold\", error: Unsupported bool conversion", false},
      // The keys of the client's document are escaped in the log.
      {R"({"chain\n[2026-12-11] [critical] x": "c"})", true,
       R"('property not found: chain\n[2026-12-11] [critical] x')"},
      {R"({"@missing": 3})", true, "Unsupported actual value type of node: '@missing'"},
      {R"({"@missing": {"a": [1, {"b": null}]}})", true,
       "Control 'missing' value not saved: '{\"a\":[1,{\"b\":null}]}'"},
      // A child's value that is not an object fails the document.
      {R"({"@camera": 1})", false, "error: Something wrong in JSON file!"},
      {R"({"@camera": {"gain": 4.5, "exposure": "0.75"}})", true,
       "Cannot update settings: \"gain\", error: Something wrong in JSON file!", false},
  };
  const std::string defaults = ReadGolden("configuration_defaults.json");
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.json.substr(0, 80));
    CapturingLogger logger;
    const auto configuration = MakeGoldenConfiguration();
    EXPECT_EQ(ApplyProjectConfigurationValues(c.json, configuration), c.result);
    EXPECT_NE(logger.Text().find(c.logged), std::string::npos) << logger.Text();
    EXPECT_EQ(Written(*configuration) == defaults, c.tree_unchanged);
  }
}

TEST(ProjectConfigurationDocumentTest, FailureKeepsWhatWasAppliedBefore) {
  const auto configuration = MakeGoldenConfiguration();
  EXPECT_FALSE(ApplyProjectConfigurationValues(
      R"({"threshold": 11, "@camera": "not an object", "enabled": false})", configuration));
  const auto main = configuration->FindMainSetting();
  EXPECT_EQ(main->GetValue("threshold")->value, PropertyVariant(11));
  EXPECT_EQ(main->GetValue("enabled")->value, PropertyVariant(true));
}

TEST(ProjectConfigurationDocumentTest, ChildObjectWithoutNodeIsStoredAsCompactText) {
  const auto configuration = MakeGoldenConfiguration();
  const auto main = configuration->FindMainSetting();
  // The "camera" control as it stays when no settings model was found for it.
  main->children.clear();
  BaseControl camera;
  camera.SetName("camera");
  camera.SetValueType(DataTypeScalar::GetInstance());
  main->controls.push_back(
      std::make_shared<DataSettingControl>("id", camera, PropertyValue{false, std::string()}));

  ASSERT_TRUE(
      ApplyProjectConfigurationValues(R"({"@camera": { "gain" : 4, "on": true }})", configuration));
  const auto value = main->GetValue("camera");
  EXPECT_TRUE(value->changed);
  EXPECT_EQ(value->value, PropertyVariant(std::string(R"({"gain":4,"on":true})")));
}

TEST(ProjectConfigurationDocumentTest, OnlyTheDocumentBackEndReadsSettings) {
  struct Case {
    JsonParser parser;
    const char* logged;
  };
  const Case kCases[] = {{JsonParser::kMiniJson, "Unsupported minijson parser"},
                         {static_cast<JsonParser>(7), "Unsupported json parser"}};
  for (const Case& c : kCases) {
    CapturingLogger logger;
    const auto configuration = MakeGoldenConfiguration();
    EXPECT_FALSE(ParseProjectConfigurationActualValues(ReadGolden("settings_object.json"), c.parser,
                                                       configuration));
    EXPECT_EQ(ParseProjectConfiguration(nullptr, c.parser), nullptr);
    EXPECT_NE(logger.Text().find(std::string("[error] ") + c.logged), std::string::npos);
    EXPECT_EQ(Written(*configuration), ReadGolden("configuration_defaults.json"));
  }
  EXPECT_TRUE(ParseProjectConfigurationActualValues(
      ReadGolden("settings_object.json"), JsonParser::kRapidJson, MakeGoldenConfiguration()));
}

}  // namespace
}  // namespace zelph::testing
