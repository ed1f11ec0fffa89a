// chain_stream_reader_test.cpp
//
// The streaming chain reader: the legacy project form with its aliases and renames, and
// every failure of the format as a table (result and logged text).
#include "zelph/chainfiles/chain_stream_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "capturing_logger.h"
#include "chain_test_support.h"

namespace zelph {
namespace {

using testing::Entries;
using testing::FixtureText;

bool Read(const std::string& text, DataChain& chain) {
  return ReadChainMiniJson(text.data(), text.size(), chain);
}

TEST(ChainStreamReaderTest, LegacyProjectFormWithAliasesAndRenames) {
  testing::CapturingLogger log;
  DataChain chain;
  ASSERT_TRUE(Read(FixtureText("legacy_project.json"), chain)) << log.Text();
  EXPECT_EQ(chain.app, "Davodavora");
  EXPECT_EQ(chain.version, "0.9");
  EXPECT_EQ(chain.id, "44444444-2222-4333-8444-555555555555");  // root "executor" is ignored
  EXPECT_TRUE(chain.all);
  EXPECT_FALSE(chain.multithreading);
  EXPECT_EQ(Entries(chain.properties),
            (std::map<std::string, PropertyVariant>{{"$__system.collect", true}, {"plain", 3}}));

  ASSERT_EQ(chain.workers.size(), 1u);
  const DataWorker& worker = chain.workers[0];
  EXPECT_EQ(worker.id, "55555555-2222-4333-8444-555555555555");
  EXPECT_EQ(worker.executor_id, "CCCCCCCC-0000-4000-8000-000000000003");
  EXPECT_EQ(worker.name, "Legacy");
  EXPECT_EQ(worker.execution_stage, ExecutionStage::kUnknown);
  ASSERT_EQ(worker.ports.size(), 2u);
  EXPECT_EQ(worker.ports[1].kind, 4);  // the port's own type, whatever its array says
  EXPECT_EQ(Entries(worker.properties),
            (std::map<std::string, PropertyVariant>{{"$__system.enabled", false},
                                                    {"$__system.name", std::string("legacy")},
                                                    {"big", 5000000000LL},
                                                    {"gain", 0.5},
                                                    {"small", 0}}));
  EXPECT_EQ(Entries(worker.system), (std::map<std::string, PropertyVariant>{
                                        {"enabled", false}, {"name", std::string("legacy")}}));
  // The worker's id comes after its properties: the failure line would name it empty.
  EXPECT_NE(log.Text().find("Convert legacy system property: '$__system.name' into: 'name'"),
            std::string::npos);
  ASSERT_EQ(chain.links.size(), 1u);
  EXPECT_EQ(chain.links[0].src_worker_id, "w1");
  EXPECT_EQ(chain.links[0].dst_worker_id, "w2");
}

TEST(ChainStreamReaderTest, BothSectionsOfAProjectAddUp) {
  DataChain chain;
  ASSERT_TRUE(Read(R"({"chain":{"blocks":[{"uuid":"a"}]},"app":"zelph-project",
                      "zelph_chain":{"data_processes":[{"uuid":"b"}]}})",
                   chain));
  ASSERT_EQ(chain.workers.size(), 2u);
  EXPECT_EQ(chain.workers[0].id, "a");
  EXPECT_EQ(chain.workers[1].id, "b");
  DataChain empty;
  EXPECT_TRUE(Read(R"({"app":"zelph-project"})", empty));
  EXPECT_TRUE(empty.id.empty());
}

TEST(ChainStreamReaderTest, ScalarsWhereTextBelongsAreTakenAsTheirJsonText) {
  DataChain chain;
  ASSERT_TRUE(Read(R"({"app":"chain","executor":{"uuid":12,"name":true,"category":null},
                      "system_note":{"skipped":[1,2]},
                      "blocks":[{"uuid":"w","system":{"n":5,"t":"x","b":true}}]})",
                   chain));
  EXPECT_EQ(chain.id, "12");
  EXPECT_EQ(chain.name, "true");
  EXPECT_EQ(chain.category, "null");
  EXPECT_EQ(
      Entries(chain.workers[0].system),
      (std::map<std::string, PropertyVariant>{{"b", true}, {"n", 5.0}, {"t", std::string("x")}}));
}

std::string Block(const std::string& members) {
  return R"({"app":"chain","blocks":[{"uuid":"w",)" + members + "}]}";
}

std::string Port(const std::string& members) { return Block(R"("ports":[{)" + members + "}]"); }

std::string Prop(const std::string& members) {
  return Block(R"("properties":[{)" + members + "}]");
}

TEST(ChainStreamReaderTest, FailuresEndTheReadOrDropTheElementWithTheirTexts) {
  struct Case {
    std::string text;
    bool result;
    std::string logged;  // empty: nothing may be logged
  };
  const std::string port_ok = R"("uuid":"p","name":"n","data_type_uuid":"d")";
  const Case cases[] = {
      {R"({"version":"1"})", false, "Expected 'app' key 'zelph-chain', 'zelph-project'"},
      {R"({"app":""})", false, "Expected 'app' key 'zelph-chain', 'zelph-project'"},
      {R"({"app":"Chain"})", false, ""},
      {R"({"app":"chain","blocks":[)", false, "[error]"},
      {R"({"app":"chain" "blocks":[]})", false, "[error]"},
      {"", false, "[error]"},
      {Port(R"("uuid":"p","type":1,"data_type_uuid":"d")"), false, "Port name undefined"},
      {Port(R"("name":"n","type":1,"data_type_uuid":"d")"), false, "Port id undefined"},
      {Port(R"("uuid":"p","name":"n","type":1)"), false, "Port data type is undefined"},
      {Port(port_ok + R"(,"type":7)"), false, "Port kind is undefined"},
      {Port(port_ok + R"(,"type":1.0)"), false, "Port kind is undefined"},
      {Port(port_ok + R"(,"type":"1")"), false, "Port kind is undefined"},
      {Port(port_ok + R"(,"type":{})"), false, "Nested object or array not parsed"},
      {Prop(R"("name":"n","type":"long","value":"12")"), false, "Failed parse string property: n"},
      {Prop(R"("name":"n","type":"boolean","value":1)"), false,
       "Failed number conversion of property: n"},
      {Prop(R"("name":"n","type":"mat","value":1)"), false,
       "Failed number conversion of property: n"},
      {Prop(R"("name":"n","type":"long","value":99999999999999999999)"), false,
       "stoll argument out of range"},
      {Prop(R"("name":"n","type":"int","value":true)"), true,
       "Failed bool conversion for property: n"},
      {Prop(R"("type":"int","value":1)"), true, "Property name is required"},
      {Prop(R"("name":"n","value":1)"), true, "Property type is required"},
      {Prop(R"("name":"n","type":"nosuch","value":1)"), true, "Data type not found 'nosuch'"},
      {Prop(R"("name":"n","type":"nosuch","value":1)"), true, "Failed parse property of worker: w"},
      {Prop(R"("name":"n","type":"int","value":null)"), true,
       "Unsupported data type Object,Array,Null for property: 'n'"},
      {Prop(R"("name":"n","type":"int")"), true,
       "Unsupported data type Object,Array,Null for property: 'n'"},
      {Prop(R"("name":"n","type":"int","value":[1])"), false, "Nested object or array not parsed"},
      {Block(R"("properties":{})"), false, "Expected opening bracket"},
      {Block(R"("system":[])"), false, "Expected opening brace"},
      {Block(R"("system":{"a":null})"), true,
       "Unsupported data type Object,Array,Null for property: 'a'"},
      {Block(R"("system":{"a":{}})"), false, "Nested object or array not parsed"},
      {Prop(R"("name":"__system.tiled.view","type":"boolean","value":true)"), true, ""},
      {R"({"app":"chain","properties":[{"name":"n","value":1}]})", true,
       "Failed parse property of chain"},
      {R"({"app":"chain","x":)" + std::string(40, '[') + std::string(40, ']') + "}", false,
       "Exceeded nesting limit (32)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    testing::CapturingLogger log;
    DataChain chain;
    EXPECT_EQ(Read(c.text, chain), c.result);
    if (c.logged.empty()) {
      EXPECT_EQ(log.Text(), "");
    } else {
      EXPECT_NE(log.Text().find(c.logged), std::string::npos) << log.Text();
    }
  }
}

TEST(ChainStreamReaderTest, WhatWasReadBeforeAFailureStays) {
  DataChain chain;
  EXPECT_FALSE(Read(R"({"app":"chain","executor":{"uuid":"kept"},"blocks":[{"uuid":"a"},
                      {"uuid":"b","ports":[{"name":"x"}]}]})",
                    chain));
  EXPECT_EQ(chain.id, "kept");
  ASSERT_EQ(chain.workers.size(), 1u);
  EXPECT_TRUE(chain.error.empty());
}

TEST(ChainStreamReaderTest, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  const std::string text = R"({"app":"chain","x":)" + std::string(1000000, '[');
  testing::CapturingLogger log;
  DataChain chain;
  EXPECT_FALSE(Read(text, chain));
  EXPECT_NE(log.Text().find("Exceeded nesting limit (32)"), std::string::npos);
}

TEST(ChainStreamReaderTest, FileReadingRefusesWhatIsNotARegularFile) {
  for (const std::string& path : {std::string("/nonexistent/chain.json"), std::string("/tmp"),
                                  std::string("/proc/self/status")}) {
    testing::CapturingLogger log;
    DataChain chain;
    EXPECT_FALSE(ReadChainMiniJsonFile(path.c_str(), chain)) << path;
    EXPECT_NE(log.Text().find("Failed load file: " + path), std::string::npos) << log.Text();
  }
  DataChain chain;
  EXPECT_TRUE(ReadChainMiniJsonFile(testing::FixturePath("chain_form.json").c_str(), chain));
  EXPECT_EQ(chain.workers.size(), 2u);
}

}  // namespace
}  // namespace zelph
