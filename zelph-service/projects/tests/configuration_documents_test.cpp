// configuration_documents_test.cpp
//
// The configuration documents of the golden settings chain of zelph-chain, pinned as goldens
// and read back by zelph-chain's reader to the same documents; and the writing rules on
// small trees: hidden controls, embedded settings texts, child nodes after controls,
// duplicate keys, workers without a system name or a property, values of every type with
// non-finite doubles as null.
#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "capturing_logger.h"
#include "settings_chain.h"
#include "settings_fixture.h"
#include "test_model.h"
#include "zelph/projects/configuration_documents.h"
#include "zelph/settings/project_configuration_reader.h"

namespace zelph::testing {
namespace {

constexpr char kFixedId[] = "00000000-0000-4000-8000-000000000000";

std::string ReadProjectsGolden(const std::string& name) {
  std::ifstream file(std::string(ZELPH_PROJECTS_GOLDEN_DIR) + "/" + name, std::ios::binary);
  if (!file) throw std::runtime_error("missing golden file " + name);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string ConfigurationDocument(const std::shared_ptr<ProjectConfiguration>& configuration) {
  std::ostringstream out;
  EXPECT_TRUE(WriteProjectConfigurationAsJson(configuration, out));
  return out.str();
}

std::string MainSettingValues(const std::shared_ptr<ProjectConfiguration>& configuration) {
  std::ostringstream out;
  EXPECT_TRUE(WriteMainSettingValuesAsJson(configuration, out));
  return out.str();
}

// The golden chain's configuration with the golden values applied, under a fixed id. The
// dashboard worker holds two of its controls' properties, the camera worker none.
std::shared_ptr<ProjectConfiguration> TunedConfiguration(const SettingsChain& golden) {
  golden.dashboard->SetPropertyValue("threshold", 5);
  golden.dashboard->SetPropertyValue("_cs___hidden", "x");
  auto configuration = BuildProjectConfiguration(golden.chain, golden.models);
  EXPECT_TRUE(
      ApplyProjectConfigurationValues(ReadGolden("project_configuration.json"), configuration));
  configuration->id = kFixedId;
  return configuration;
}

TEST(ConfigurationDocumentsTest, GoldenChainDocuments) {
  const SettingsChain golden = MakeGoldenChain();
  const auto configuration = TunedConfiguration(golden);
  EXPECT_EQ(ConfigurationDocument(configuration) + "\n",
            ReadProjectsGolden("configuration_document.json"));
  EXPECT_EQ(MainSettingValues(configuration) + "\n", ReadGolden("settings_object.json"));
}

TEST(ConfigurationDocumentsTest, DocumentsReadBackToThemselves) {
  const SettingsChain tuned = MakeGoldenChain();
  const std::string document = ConfigurationDocument(TunedConfiguration(tuned));
  const std::string values = MainSettingValues(TunedConfiguration(tuned));

  const SettingsChain fresh = MakeGoldenChain();
  auto configuration = BuildProjectConfiguration(fresh.chain, fresh.models);
  ASSERT_TRUE(ApplyProjectConfigurationValues(document, configuration));
  configuration->id = kFixedId;
  EXPECT_EQ(ConfigurationDocument(configuration), document);

  const SettingsChain other = MakeGoldenChain();
  configuration = BuildProjectConfiguration(other.chain, other.models);
  ASSERT_TRUE(ApplyProjectConfigurationValues(values, configuration));
  EXPECT_EQ(MainSettingValues(configuration), values);
}

std::shared_ptr<DataSettingControl> Control(const std::string& name, PropertyVariant value,
                                            const std::string& value_type_name = "") {
  BaseControl control;
  control.SetName(name);
  control.SetValueTypeName(value_type_name);
  return std::make_shared<DataSettingControl>(name, control,
                                              PropertyValue{false, std::move(value)});
}

std::shared_ptr<MainSetting> Node(const std::string& name) {
  return std::make_shared<MainSetting>(name, name, "", kMainSetting, "", "");
}

std::shared_ptr<SettingWorker> WorkerNode(const std::string& system_name,
                                          std::initializer_list<const char*> controls) {
  auto worker = MakeTestWorker(Script::kNoOp);
  if (!system_name.empty()) worker->GetSystemProperties()->SetValue("name", system_name);
  auto node = std::make_shared<SettingWorker>(worker);
  for (const char* name : controls) node->controls.push_back(Control(name, 0));
  return node;
}

// A main-settings node with a control of every kind and a subtree, and a worker-settings
// node with workers of equal, empty and no system name.
std::shared_ptr<ProjectConfiguration> RuleConfiguration(const std::string& broken_settings) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto main = Node("Main");
  main->controls = {
      Control("threshold", 3),
      Control("_cs___preview", std::string("x")),
      Control("preview", true),
      Control("big", 1LL << 40),
      Control("ratio", 0.5),
      Control("nan", nan),
      Control("inf", -std::numeric_limits<double>::infinity()),
      Control("layout", std::string(R"({"rows": 2, "cells": [1, 2]})"), "settings"),
      Control("broken", broken_settings, "settings"),
      Control("list", std::string(R"([1, "a"])"), "settings"),
      Control("count", 4, "settings"),
      Control("@Filter", std::string("control")),
  };
  auto filter = Node("Filter");
  filter->controls = {Control("size", 7)};
  auto inner = Node("Inner");
  inner->controls = {Control("on", false)};
  filter->children = {inner};
  main->children = {filter};

  auto workers = std::make_shared<SettingWorker>();
  auto first = WorkerNode("cam", {"count", "label", "gain"});
  first->worker->GetProperties()->SetValue("count", 3);
  first->worker->GetProperties()->SetValue("gain", nan);
  auto unnamed = WorkerNode("", {"count"});
  unnamed->worker->GetProperties()->SetValue("count", 1);
  auto second = WorkerNode("cam", {"label"});
  second->worker->GetProperties()->SetValue("label", std::string("second"));
  workers->children = {first, unnamed, Node("not a worker"), std::make_shared<SettingWorker>(),
                       second};

  auto root = std::make_shared<SettingRoot>();
  root->children = {main, workers};
  return std::make_shared<ProjectConfiguration>("chain", "", "Rules", "Writing rules", root);
}

constexpr char kRuleSettings[] = R"({
    "threshold": 3,
    "preview": true,
    "big": 1099511627776,
    "ratio": 0.5,
    "nan": null,
    "inf": null,
    "@layout": {
        "rows": 2,
        "cells": [
            1,
            2
        ]
    },
    "@list": [
        1,
        "a"
    ],
    "count": 4,
    "@Filter": "control",
    "@Filter": {
        "size": 7,
        "@Inner": {
            "on": false
        }
    }
})";

TEST(ConfigurationDocumentsTest, WritingRules) {
  CapturingLogger logger(ZelphSeverityLevel::kWarning);
  const auto configuration = RuleConfiguration(R"({"rows": 2)");
  configuration->id = kFixedId;
  EXPECT_EQ(MainSettingValues(configuration), kRuleSettings);
  EXPECT_EQ(logger.Text(),
            "[warning] Failed write setting control: 'broken', json parse error, json: "
            "{\"rows\": 2\n");

  // The same object one level down.
  std::string settings;
  for (const char c : std::string_view(kRuleSettings)) {
    settings += c == '\n' ? std::string("\n    ") : std::string(1, c);
  }
  EXPECT_EQ(ConfigurationDocument(configuration), std::string(R"({
    "app": "zelph-project-configuration",
    "id": "00000000-0000-4000-8000-000000000000",
    "chain_id": "chain",
    "caption": "Rules",
    "description": "Writing rules",
    "data": {
        "cam": {
            "count": 3,
            "gain": null
        },
        "cam": {
            "label": "second"
        }
    },
    "settings": )") + settings + "\n}");
}

TEST(ConfigurationDocumentsTest, TreesWithoutNodes) {
  const auto empty = std::make_shared<ProjectConfiguration>("chain", "", "Caption", "Text",
                                                            std::make_shared<SettingRoot>());
  empty->id = kFixedId;
  EXPECT_EQ(ConfigurationDocument(empty), R"({
    "app": "zelph-project-configuration",
    "id": "00000000-0000-4000-8000-000000000000",
    "chain_id": "chain",
    "caption": "Caption",
    "description": "Text"
})");
  EXPECT_EQ(MainSettingValues(empty), "{}");

  std::ostringstream out;
  EXPECT_THROW(WriteProjectConfigurationAsJson(nullptr, out), std::invalid_argument);
  EXPECT_THROW(WriteMainSettingValuesAsJson(nullptr, out), std::invalid_argument);
  EXPECT_EQ(out.str(), "");
}

TEST(ConfigurationDocumentsTest, AnUnreadableSettingsTextIsQuotedShortInTheLog) {
  CapturingLogger logger(ZelphSeverityLevel::kWarning);
  MainSettingValues(RuleConfiguration("[" + std::string(100000, '1')));
  const std::string logged = logger.Text();
  EXPECT_LT(logged.size(), 400u);
  EXPECT_NE(logged.find(std::string(200, '1') + "...\n"), std::string::npos) << logged;
}

}  // namespace
}  // namespace zelph::testing
