// chain_writer_test.cpp
//
// Both chain writers: a built chain written, read back and written again gives the same
// bytes; the visible differences of the back-ends; and the mended points
// (doubles read back exactly, a system value of an unexpected type is written as it is).
#include "zelph/chainfiles/chain_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "capturing_logger.h"
#include "chain_test_models.h"
#include "chain_test_support.h"
#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chainfiles/chain_stream_reader.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/chains/linked_chain.h"

namespace zelph {
namespace {

using testing::Entries;

std::string Write(JsonParser parser, std::shared_ptr<IDataProcessChain> chain) {
  std::ostringstream out;
  WriteChainAsJson(parser, std::move(chain), out);
  return out.str();
}

std::shared_ptr<IDataProcessChain> BuiltChain() {
  testing::RegisterChainTestModels();
  auto chain = LinkedChain::Create();
  EXPECT_TRUE(
      ParseChainFile(testing::FixturePath("built_chain.json"), JsonParser::kMiniJson, chain));
  return chain;
}

// The document writer's root form is read here as the section of a project form.
std::shared_ptr<IDataProcessChain> ReadBack(JsonParser parser, const std::string& text) {
  auto chain = LinkedChain::Create();
  if (parser == JsonParser::kMiniJson) {
    EXPECT_TRUE(ParseChain(text, parser, chain));
  } else {
    const std::string project = R"({"app":"zelph-project","zelph_chain":)" + text + "}";
    EXPECT_TRUE(ParseChain(project.data(), project.size(), parser, chain));
  }
  return chain;
}

TEST(ChainWriterTest, WrittenChainsReadBackAndWriteTheSameBytes) {
  for (JsonParser parser : {JsonParser::kMiniJson, JsonParser::kRapidJson}) {
    SCOPED_TRACE(static_cast<int>(parser));
    auto chain = BuiltChain();
    const std::string first = Write(parser, chain);
    auto again = ReadBack(parser, first);
    EXPECT_EQ(again->GetWorkersCount(), chain->GetWorkersCount());
    EXPECT_EQ(again->GetLinks().size(), 1u);
    EXPECT_EQ(Write(parser, again), first);
  }
}

TEST(ChainWriterTest, CompactDoublesReadBackExactly) {
  auto chain = BuiltChain();
  auto constant = chain->FindWorker("bbbbbbbb-0000-4000-8000-00000000000b");
  constant->GetProperties()->SetValue("factor", 1.0 / 3);
  chain->GetProperties()->SetValue("$__system.none", std::numeric_limits<double>::quiet_NaN());
  const std::string text = Write(JsonParser::kMiniJson, chain);
  EXPECT_NE(text.find(R"({"name":"$__system.none","type":"double","value":null})"),
            std::string::npos);
  DataChain data;
  ASSERT_TRUE(ReadChainMiniJson(text.data(), text.size(), data));
  EXPECT_EQ(Entries(data.workers.at(1).properties).at("factor"), PropertyVariant(1.0 / 3));
}

TEST(ChainWriterTest, EmptyChainShowsTheBackEndDifferences) {
  auto chain = LinkedChain::Create();
  chain->SetId("e");
  chain->GetProperties()->SetValue("__tmp.x", 1);
  const std::string compact = Write(JsonParser::kMiniJson, chain);
  EXPECT_EQ(compact,
            R"({"app":"chain","version":"1.1","executor":{"uuid":"e","options":{"execution":)"
            R"({"all":false,"multithreading":false,"ignore_exceptions":false}}},"properties":[]})");
  const std::string document = Write(JsonParser::kRapidJson, chain);
  EXPECT_NE(document.find("\"blocks\": [],\n    \"links\": []\n}"), std::string::npos) << document;
  EXPECT_EQ(document.find("\"properties\""), std::string::npos);
  EXPECT_EQ(Write(static_cast<JsonParser>(5), chain), "");
}

TEST(ChainWriterTest, DocumentExecutorKeepsUnknownMembersInPlace) {
  auto chain = LinkedChain::Create();
  chain->SetId("c");
  chain->SetName("new");
  chain->SetExecutor(R"({"uuid":"old","extra":1,"name":"old"})");
  const std::string text = Write(JsonParser::kRapidJson, chain);
  const auto extra = text.find("\"extra\": 1");
  const auto name = text.find("\"name\": \"new\"");
  const auto id = text.find("\"id\": \"c\"");
  const auto options = text.find("\"options\"");
  EXPECT_TRUE(extra < name && name < id && id < options) << text;
  EXPECT_EQ(text.find("\"uuid\""), std::string::npos);

  chain->SetExecutor(R"({"options":5})");
  std::ostringstream untouched;
  EXPECT_THROW(WriteChainAsJson(JsonParser::kRapidJson, chain, untouched), std::exception);
  EXPECT_EQ(untouched.str(), "");
}

TEST(ChainWriterTest, SystemValuesOfAnUnexpectedTypeAreWrittenAsTheyAre) {
  testing::RegisterChainTestModels();
  auto chain = LinkedChain::Create();
  ASSERT_TRUE(ParseChain(R"({"app":"chain","blocks":[{"uuid":"eeeeeeee-0000-4000-8000-00000000000e",
      "executor_id":"c0de0000-0000-4000-8000-000000000003",
      "system":{"enabled":1,"caption":"","name":7,"description":false}}]})",
                         JsonParser::kMiniJson, chain));
  std::string text;
  ASSERT_NO_THROW(text = Write(JsonParser::kRapidJson, chain));
  EXPECT_NE(text.find("\"enabled\": 1.0"), std::string::npos) << text;
  EXPECT_NE(text.find("\"name\": 7.0"), std::string::npos);
  EXPECT_NE(text.find("\"description\": false"), std::string::npos);
  EXPECT_EQ(text.find("\"caption\""), std::string::npos);
}

TEST(ChainWriterTest, ChainConfigurationsAreNotWritten) {
  testing::CapturingLogger log;
  EXPECT_EQ(WriteChainConfigAsJson(JsonParser::kRapidJson, LinkedChain::Create()), "");
  EXPECT_NE(log.Text().find("Unsupported chain config writer"), std::string::npos);
}

}  // namespace
}  // namespace zelph
