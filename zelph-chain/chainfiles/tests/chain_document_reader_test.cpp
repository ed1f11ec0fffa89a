// chain_document_reader_test.cpp
//
// The document chain reader: typing by JSON form, the refusals with their texts (as a
// table), and the mended points: a refused root form says why, the text entry reads only
// the given length, deep nesting fails as a parse error.
#include "zelph/chainfiles/chain_document_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "capturing_logger.h"
#include "chain_test_support.h"
#include "zelph/chain/exception.h"

namespace zelph {
namespace {

using testing::Entries;

bool Read(const std::string& text, DataChain& chain) {
  return ReadChainJsonText(text.data(), text.size(), chain);
}

std::string Section(const std::string& members) {
  return R"({"app":"zelph-project","zelph_chain":{"executor":{"uuid":"c"},)" + members + "}}";
}

TEST(ChainDocumentReaderTest, ValuesAreTypedByTheirJsonFormAlone) {
  testing::CapturingLogger log;
  DataChain chain;
  ASSERT_TRUE(Read(Section(R"("properties":[
      {"name":"i","type":"int32","value":7},{"name":"d","value":5.0},
      {"name":"s","value":"t"},{"name":"b","value":false},{"name":"__system.name","value":"x"},
      {"name":"u","value":18446744073709551615},{"name":"n","value":null}],
      "primitives":[{"name":"skipped","value":1}],
      "blocks":[{"uuid":"w","executor_category":"cat","model_name":"skipped",
                 "ports":[{"uuid":"p","type":9,"port_name":"skipped"}],
                 "system":{"enabled":1,"big":99999999999999999999}}]
      )"),
                   chain))
      << chain.error;
  EXPECT_EQ(Entries(chain.properties),
            (std::map<std::string, PropertyVariant>{{"__system.name", std::string("x")},
                                                    {"b", false},
                                                    {"d", 5.0},
                                                    {"i", 7LL},
                                                    {"s", std::string("t")}}));
  EXPECT_NE(log.Text().find("Unsupported property type for property: u"), std::string::npos);
  EXPECT_NE(log.Text().find("Unsupported property type for property: n"), std::string::npos);
  const DataWorker& worker = chain.workers.at(0);
  EXPECT_EQ(worker.executor_category, "cat");
  EXPECT_EQ(worker.name, "");
  EXPECT_EQ(worker.ports.at(0).kind, 9);
  EXPECT_EQ(worker.ports.at(0).name, "");
  EXPECT_EQ(Entries(worker.system).at("enabled"), PropertyVariant(1LL));
  EXPECT_EQ(Entries(worker.system).at("big"), PropertyVariant(1e20));
}

TEST(ChainDocumentReaderTest, ExecutorIsKeptAsIndentedText) {
  DataChain chain;
  ASSERT_TRUE(Read(R"({"app":"Davodavora","chain":{"executor":{"id":"c","extra":[1],
                      "options":{}}}})",
                   chain));
  EXPECT_EQ(chain.id, "c");
  EXPECT_EQ(chain.executor,
            "{\n    \"id\": \"c\",\n    \"extra\": [\n        1\n    ],\n    \"options\": {}\n}");
}

TEST(ChainDocumentReaderTest, RefusalsCarryTheirTexts) {
  struct Case {
    std::string text;
    std::string error;
  };
  const std::string wrong_type = "Something wrong in JSON file!";
  const Case cases[] = {
      {"", "Invalid chain file, probably it is not JSON: parse error at offset 0 (error code: 1)"},
      {R"({"app":"zelph-project"} x)",
       "Invalid chain file, probably it is not JSON: parse error at offset 24 (error code: 2)"},
      {R"({"version":"1"})", R"(JSON file is not a chain (no required "app": "Davodavora" value))"},
      {R"({"app":"other"})",
       R"(JSON file is not a chain ("app" value is "other", not "Davodavora"))"},
      {R"({"app":"zelph-project"})", R"(Invalid chain JSON format: expected "chain" section)"},
      {R"({"app":"zelph-project","chain":5})",
       R"(Invalid chain JSON format: "chain" section is not JSON object)"},
      {Section(R"("blocks":{})"),
       R"(Invalid chain JSON format: JSON array expected ("blocks" array))"},
      {Section(R"("data_processes":[1])"),
       R"(Invalid chain JSON format: JSON object expected (element of "blocks" array))"},
      {Section(R"("blocks":[{"ports":{}}])"),
       R"(Invalid chain JSON format: JSON array expected ("ports" array))"},
      {Section(R"("blocks":[{"out_ports":[1]}])"),
       R"(Invalid chain JSON format: JSON object expected (element of "ports" array))"},
      {Section(R"("blocks":[{"parameters":{}}])"),
       R"(Invalid chain JSON format: JSON array expected ("properties" array))"},
      {Section(R"("blocks":[{"system":[]}])"),
       R"(Invalid chain JSON format: JSON object expected ("system" section))"},
      {Section(R"("links":{})"),
       R"(Invalid chain JSON format: JSON array expected ("links" array))"},
      {Section(R"("links":["l"])"),
       R"(Invalid chain JSON format: JSON object expected (element of "links" array))"},
      {Section(R"("properties":{})"),
       R"(Invalid chain JSON format: JSON array expected ("properties" array))"},
      {Section(R"("executor":[])"),
       R"(Invalid chain JSON format: JSON object expected ("executor" section))"},
      {Section(R"("executor":{"options":{"execution":[]}})"),
       R"(Invalid chain JSON format: JSON object expected ("execution" section))"},
      {Section(R"("executor":{"options":{"execution":{"all":1}}})"), wrong_type},
      {Section(R"("executor":{"options":[]})"), wrong_type},
      {Section(R"("executor":{"name":5})"), wrong_type},
      {Section(R"("blocks":[{"ports":[{"type":1.5}]}])"), wrong_type},
      {Section(R"("blocks":[{"ports":[{"type":"1"}]}])"), wrong_type},
      {Section(R"("properties":[{"name":"n"}])"), wrong_type},
      {Section(R"("properties":[{"value":1}])"), wrong_type},
      {Section(R"("properties":[1])"), wrong_type},
      {R"({"app":"chain"})",
       R"(Invalid chain JSON format: "app" value "chain" is read by the minijson parser only)"},
      {R"({"app":"zelph-chain"})",
       R"(Invalid chain JSON format: "app" value "zelph-chain" is read by the minijson parser only)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    testing::CapturingLogger log;
    DataChain chain;
    chain.error = "left from an earlier read";
    EXPECT_FALSE(Read(c.text, chain));
    EXPECT_EQ(chain.error, c.error);
    EXPECT_TRUE(chain.id.empty());  // a failure inside the section clears the id read so far
    EXPECT_EQ(log.Text(), "[error] " + c.error + "\n");
  }
}

TEST(ChainDocumentReaderTest, RootAndAppOfTheWrongKindReachTheCaller) {
  DataChain chain;
  EXPECT_THROW(Read("[1]", chain), Exception);
  EXPECT_THROW(Read(R"({"app":1})", chain), Exception);
}

TEST(ChainDocumentReaderTest, OnlyTheGivenLengthIsRead) {
  const std::string text = R"({"app":"zelph-project","chain":{"executor":{"uuid":"x"}}}garbage)";
  DataChain chain;
  EXPECT_TRUE(ReadChainJsonText(text.data(), text.size() - 7, chain)) << chain.error;
  EXPECT_EQ(chain.id, "x");
}

TEST(ChainDocumentReaderTest, DeepNestingIsAParseError) {
  const std::string text = Section(R"("x":)" + std::string(1000000, '['));
  DataChain chain;
  EXPECT_FALSE(Read(text, chain));
  EXPECT_NE(chain.error.find("(error code: 16)"), std::string::npos) << chain.error;
}

TEST(ChainDocumentReaderTest, FileEntryLogsWhatTheTextEntryRecords) {
  const std::string path = testing::FixturePath("chain_form.json");
  testing::CapturingLogger log;
  DataChain chain;
  EXPECT_FALSE(ReadChainJsonFile(path.c_str(), chain));
  EXPECT_NE(chain.error.find("is read by the minijson parser only"), std::string::npos);
  EXPECT_THROW(ReadChainJsonFile("/nonexistent/chain.json", chain), Exception);
  EXPECT_THROW(ReadChainJsonFile("/tmp", chain), Exception);
  DataChain project;
  EXPECT_TRUE(ReadChainJsonFile(testing::FixturePath("project_form.json").c_str(), project));
}

int OpenFileCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                        std::filesystem::directory_iterator()));
}

TEST(ChainDocumentReaderTest, RefusedFilesAreClosed) {
  const auto path = std::filesystem::temp_directory_path() / "chainfiles_refused.json";
  const int before = OpenFileCount();
  for (const char* text : {"[1]", R"({"app":1})"}) {
    std::ofstream(path) << text;
    DataChain chain;
    EXPECT_THROW(ReadChainJsonFile(path.c_str(), chain), Exception);
  }
  EXPECT_EQ(OpenFileCount(), before);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace zelph
