// chain_config_reader_test.cpp
//
// Chain configuration documents read into per-worker bags.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "settings_fixture.h"
#include "zelph/settings/chain_config_reader.h"

namespace zelph::testing {
namespace {

using parse::ParseChainConfig;

TEST(ChainConfigReaderTest, GoldenDocumentKeepsJsonKinds) {
  CapturingLogger logger;
  const DataChainConfig config =
      ParseChainConfig(ReadGolden("chain_config.json"), JsonParser::kRapidJson);
  ASSERT_EQ(config.size(), 2u);
  const DataWorkerConfig& blur = config.at(kBlurWorkerId);
  struct Expected {
    const char* name;
    PropertyVariant value;
  };
  const Expected kProperties[] = {{"radius", 7},
                                  {"big", 4294967296LL},
                                  {"sigma", 2.25},
                                  {"label", std::string("soft")},
                                  {"flip", true}};
  for (const Expected& e : kProperties)
    EXPECT_EQ(blur.properties.GetValue(e.name), e.value) << e.name;
  EXPECT_FALSE(blur.properties.HasValue("none"));
  EXPECT_FALSE(blur.properties.HasValue("list"));
  EXPECT_EQ(blur.system.GetValue("name"), PropertyVariant(std::string("blur")));
  EXPECT_EQ(blur.system.GetValue("enabled"), PropertyVariant(false));
  const std::string text = logger.Text();
  EXPECT_NE(text.find("[warning] JSON null not supported of chain config worker property value"),
            std::string::npos);
  EXPECT_NE(text.find("[warning] JSON object or arrays not supported of chain config worker "
                      "property value"),
            std::string::npos);
  EXPECT_TRUE(config.count(kDashboardWorkerId));
}

TEST(ChainConfigReaderTest, BadDocumentsKeepTheWorkersReadBeforeTheFailure) {
  struct Case {
    std::string json;
    JsonParser parser;
    size_t workers;
    const char* logged;
  };
  const std::string deep = R"({"app": "zelph-chain-config", "workers": {"w": {"properties": )" +
                           std::string(300, '[') + std::string(300, ']') + "}}}";
  const Case kCases[] = {
      {"{}", JsonParser::kMiniJson, 0, "[error] Unsupported json chain settings parser"},
      {"", JsonParser::kRapidJson, 0, "Failed to parse chain settings: parse error code: 1"},
      {R"({"app": "zelph-chain-config", "workers": {}} x)", JsonParser::kRapidJson, 0,
       "parse error code: 2"},
      {deep, JsonParser::kRapidJson, 0, "parse error code: 16"},
      {"[]", JsonParser::kRapidJson, 0,
       "Failed to parse chain settings: Something wrong in JSON file!"},
      {R"({"workers": {}})", JsonParser::kRapidJson, 0, "Expected 'app' key"},
      {R"({"app": 1, "workers": {}})", JsonParser::kRapidJson, 0, "Something wrong in JSON file!"},
      {R"({"app": "chain", "workers": {}})", JsonParser::kRapidJson, 0,
       "Expected 'app': 'zelph-chain-config'"},
      {R"({"app": "zelph-chain-config"})", JsonParser::kRapidJson, 0, "Expected 'workers' key"},
      {R"({"app": "zelph-chain-config", "workers": []})", JsonParser::kRapidJson, 0,
       "Something wrong in JSON file!"},
      {R"({"app": "zelph-chain-config", "workers": {"a": {}, "b": 1}})", JsonParser::kRapidJson, 1,
       "Something wrong in JSON file!"},
      {R"({"app": "zelph-chain-config", "workers": {"a": {}, "b": {"properties": 1}}})",
       JsonParser::kRapidJson, 1, "Something wrong in JSON file!"},
      {R"({"app": "zelph-chain-config", "workers": {"a": {}, "b": {}, "c": {"system": []}}})",
       JsonParser::kRapidJson, 2, "Failed to parse chain settings: Something wrong in JSON file!"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.json.substr(0, 80));
    CapturingLogger logger;
    EXPECT_EQ(ParseChainConfig(c.json, c.parser).size(), c.workers);
    EXPECT_NE(logger.Text().find(c.logged), std::string::npos) << logger.Text();
  }
}

TEST(ChainConfigReaderTest, RepeatedWorkerKeepsItsLastOccurrence) {
  const DataChainConfig config = ParseChainConfig(
      R"({"app": "zelph-chain-config", "workers": {
            "w": {"properties": {"a": 1}, "system": {"name": "first"}},
            "w": {"properties": {"b": 2}}}})",
      JsonParser::kRapidJson);
  ASSERT_EQ(config.size(), 1u);
  const DataWorkerConfig& worker = config.at("w");
  EXPECT_FALSE(worker.properties.HasValue("a"));
  EXPECT_EQ(worker.properties.GetValue("b"), PropertyVariant(2));
  EXPECT_FALSE(worker.system.HasValue("name"));
}

}  // namespace
}  // namespace zelph::testing
