// chain_forms_test.cpp
//
// One chain in every accepted form: each back-end that reads a form gives the same
// DataChain.
#include <gtest/gtest.h>

#include <string>

#include "chain_test_support.h"
#include "zelph/chainfiles/chain_document_reader.h"
#include "zelph/chainfiles/chain_stream_reader.h"

namespace zelph {
namespace {

using testing::ExpectSameChain;
using testing::FixtureText;
using testing::Replaced;

DataChain ReadStream(const std::string& text) {
  DataChain chain;
  EXPECT_TRUE(ReadChainMiniJson(text.data(), text.size(), chain));
  return chain;
}

DataChain ReadDocument(const std::string& text) {
  DataChain chain;
  EXPECT_TRUE(ReadChainJsonText(text.data(), text.size(), chain)) << chain.error;
  return chain;
}

TEST(ChainFormsTest, EveryFormReadsToTheSameChainInBothBackEnds) {
  const std::string project = FixtureText("project_form.json");
  const DataChain expected = ReadStream(project);
  ASSERT_EQ(expected.workers.size(), 2u);
  EXPECT_EQ(expected.id, "6a1e0d4c-6f4e-4c62-9a3b-0c1d2e3f4a5b");
  EXPECT_TRUE(expected.all && expected.ignore_exceptions && !expected.multithreading);
  EXPECT_EQ(expected.workers[0].execution_stage, ExecutionStage::kLoadingTime);
  EXPECT_EQ(testing::Entries(expected.workers[1].properties).at("label"),
            PropertyVariant(std::string("x \xC3\xA9")));

  const std::string davodavora =
      Replaced(Replaced(project, "zelph-project", "Davodavora"), "\"zelph_chain\"", "\"chain\"");
  for (const std::string& text : {project, davodavora}) {
    const DataChain stream = ReadStream(text);
    const DataChain document = ReadDocument(text);
    DataChain renamed = ReadStream(project);
    renamed.app = stream.app;
    ExpectSameChain(stream, renamed);
    ExpectSameChain(document, stream);
  }

  const std::string root = FixtureText("chain_form.json");
  for (const std::string& text : {root, Replaced(root, "\"chain\"", "\"zelph-chain\"")}) {
    DataChain stream = ReadStream(text);
    stream.app = expected.app;
    ExpectSameChain(stream, expected);
  }
}

}  // namespace
}  // namespace zelph
