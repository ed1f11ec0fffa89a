// chain_settings_writer_test.cpp
//
// The chain settings document of a live chain.
#include <gtest/gtest.h>

#include "capturing_logger.h"
#include "settings_chain.h"
#include "settings_fixture.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/settings/chain_settings_writer.h"

namespace zelph::testing {
namespace {

TEST(ChainSettingsWriterTest, WritesTheGoldenChain) {
  const SettingsChain golden = MakeGoldenChain();
  EXPECT_EQ(WriteChainSettingsAsJson(JsonParser::kRapidJson, golden.chain) + "\n",
            ReadGolden("chain_settings.json"));
}

TEST(ChainSettingsWriterTest, EmptyChainAndOtherBackEnds) {
  const auto chain = LinkedChain::Create();
  EXPECT_EQ(WriteChainSettingsAsJson(JsonParser::kRapidJson, chain),
            "{\n    \"app\": \"zelph-chain-settings\",\n    \"inputs\": [],\n    \"outputs\": [],\n"
            "    \"data\": [],\n    \"settings\": {}\n}");
  CapturingLogger logger;
  EXPECT_EQ(WriteChainSettingsAsJson(JsonParser::kMiniJson, chain), "");
  EXPECT_EQ(logger.Text(), "[error] Unsupported chain settings writer\n");
}

// Visible-results texts come from plug-in models: anything but a JSON object is left out.
TEST(ChainSettingsWriterTest, VisibleResultsOnlyWhenTheTextIsAnObject) {
  struct Case {
    const char* text;
    const char* written;  // the member's value, or null when it is left out
  };
  const Case kCases[] = {
      {"{}", "{}"},
      {"", nullptr},
      {"not json", nullptr},
      {"[]", nullptr},
      {"\"text\"", nullptr},
      {"\xEF\xBB{\"model\": \"default\"}", "\"Image\""},
      {"{\"model\": \"Default\"}", "\"Default\""},
      {"{\"model\": 5}", "5"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    const SettingsChain golden = MakeGoldenChain();
    golden.blur->visible_results = c.text;
    const std::string text = WriteChainSettingsAsJson(JsonParser::kRapidJson, golden.chain);
    // The blur worker is the only one listed before the settings tree.
    const std::string blur = text.substr(0, text.find("\"settings\":"));
    const auto member = blur.find("\"visible_result_meta_information\"");
    if (c.written == nullptr) {
      EXPECT_EQ(member, std::string::npos);
    } else {
      ASSERT_NE(member, std::string::npos);
      EXPECT_NE(blur.find(c.written, member), std::string::npos);
    }
  }
}

// The dashboard links back into the camera that feeds it: the walk stops at the worker
// already on its path instead of nesting without end.
TEST(ChainSettingsWriterTest, SettingsLinkCyclesAreCut) {
  const SettingsChain golden = MakeGoldenChain();
  BaseModelStructure camera = CameraStructure();
  BaseControl peer;
  peer.SetName("peer");
  peer.SetValueTypeName("settings");
  camera.AddControl(peer);
  const auto model = MakeSettingsModel(std::move(camera));
  auto chain = LinkedChain::Create();
  chain->SetContextId(7);
  const auto dashboard = AddSettingsWorker(*chain, golden.models[0], kDashboardWorkerId, "dash");
  const auto feeder = AddSettingsWorker(*chain, model, kCameraWorkerId, "camera");
  chain->CreateLink(feeder, feeder->FindPortByName(PortType::output_control, "gain", false),
                    dashboard, dashboard->FindPortByName(PortType::input_control, "camera", false));
  chain->CreateLink(dashboard, dashboard->FindPortByName(PortType::output_control, "mode", false),
                    feeder, feeder->FindPortByName(PortType::input_control, "peer", false));

  CapturingLogger logger;
  const std::string text = WriteChainSettingsAsJson(JsonParser::kRapidJson, chain);
  EXPECT_NE(logger.Text().find(std::string("Settings link cycle cut at worker: '") +
                               kDashboardWorkerId + "'"),
            std::string::npos);
  EXPECT_NE(text.find(kCameraWorkerId), std::string::npos);
}

}  // namespace
}  // namespace zelph::testing
