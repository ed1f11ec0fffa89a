// In-process tests of how the chain-file run writes its parameters into data workers.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/host/chain_file_run.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace {

using zelph::testing::kSourceModel;
using zelph::testing::kValueModel;

// One worker of the chain text: id suffix, model, system name and its properties' JSON.
std::string Block(int id, const char* model, const char* name, const std::string& properties) {
  return R"({"uuid": "c4a10000-0000-4000-8000-00000000000)" + std::to_string(id) +
         R"(", "executor_id": ")" + model + R"(", "system": {"name": ")" + name +
         R"("}, "properties": [)" + properties + "]}";
}

std::string WorkerId(int id) { return "c4a10000-0000-4000-8000-00000000000" + std::to_string(id); }

std::shared_ptr<IDataProcessChain> ParametersChain() {
  zelph::testing::LoadServiceTestPlugin();
  const std::string text_value = R"({"name": "value", "type": "String", "value": "file"})";
  const std::string blocks =
      Block(1, kSourceModel, "in", "") + "," + Block(2, kValueModel, "in", text_value) + "," +
      Block(3, kValueModel, "in", text_value) + "," +
      Block(4, kValueModel, "count", R"({"name": "value", "type": "int", "value": 7})") + "," +
      Block(5, kValueModel, "other", text_value);
  const std::string text = R"({"app": "zelph-project", "zelph_chain": {"executor": {"uuid": )"
                           R"("c4a10000-0000-4000-8000-000000000000"}, "blocks": [)" +
                           blocks + R"(], "links": []}})";
  auto chain = zelph::LinkedChain::Create();
  EXPECT_TRUE(ParseChain(text, JsonParser::kMiniJson, chain));
  return chain;
}

PropertyValue ValueOf(IDataProcessChain& chain, int id) {
  PropertyValue found;
  chain.FindWorker(WorkerId(id))
      ->GetProperties()
      ->ForEach([&](const std::string& key, PropertyValue& value) {
        if (key == "value") found = value;
      });
  return found;
}

TEST(ApplyChainParametersTest, TextGoesToTheFirstDataWorkerOfExactlyThatName) {
  std::shared_ptr<IDataProcessChain> chain = ParametersChain();
  for (const auto& worker : chain->GetWorkers()) {
    worker->GetProperties()->ForEachChanged(
        [](const std::string&, PropertyValue&) { return true; });
  }

  zelph::host::ApplyChainParameters(
      chain, {{"in", "5"}, {"count", "8"}, {"OTHER", "x"}, {"missing", "1"}});

  struct Case {
    int worker;
    PropertyVariant value;
    bool changed;
  };
  const Case kCases[] = {
      {2, std::string("5"), true},      // the first data worker named "in", not the source
      {3, std::string("file"), false},  // the second of that name keeps its value
      {4, std::string("8"), true},      // a number becomes the parameter's text
      {5, std::string("file"), false},  // names match with their letter case
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.worker);
    const PropertyValue value = ValueOf(*chain, c.worker);
    EXPECT_EQ(value.value, c.value);
    EXPECT_EQ(value.changed, c.changed);
  }
  EXPECT_FALSE(chain->FindWorker(WorkerId(1))->GetProperties()->HasValue("value"));
}

}  // namespace
