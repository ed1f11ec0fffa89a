// chain_reader_mutation_test.cpp
//
// Seeded random mutations of the fixtures (byte flips, cuts, repeats, inserted structure
// characters) fed to both readers and, for the texts a reader accepts, to the chain
// builder. Nothing may crash or leak; run it under the address sanitizer.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "capturing_logger.h"
#include "chain_test_models.h"
#include "chain_test_support.h"
#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chainfiles/chain_document_reader.h"
#include "zelph/chainfiles/chain_stream_reader.h"
#include "zelph/chains/linked_chain.h"

namespace zelph {
namespace {

std::string Mutate(std::string text, std::mt19937& random) {
  const char kStructure[] = "{}[]\":,0-e.\\ntf";
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < edits && !text.empty(); ++i) {
    const std::size_t at = random() % text.size();
    switch (random() % 5) {
      case 0:
        text[at] = static_cast<char>(random() % 256);
        break;
      case 1:
        text.resize(at);
        break;
      case 2:
        text.insert(at, 1, kStructure[random() % (sizeof(kStructure) - 1)]);
        break;
      case 3:
        text.erase(at, 1 + random() % 16);
        break;
      default:
        text.insert(at, text.substr(at, random() % 64));
        break;
    }
  }
  return text;
}

TEST(ChainReaderMutationTest, MutatedFixturesNeverCrashEitherReader) {
  testing::RegisterChainTestModels();
  testing::CapturingLogger log(ZelphSeverityLevel::kCritical);
  const std::string fixtures[] = {
      testing::FixtureText("chain_form.json"), testing::FixtureText("project_form.json"),
      testing::FixtureText("legacy_project.json"), testing::FixtureText("built_chain.json")};
  std::mt19937 random(20261210);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string text = Mutate(fixtures[round % 4], random);
    for (JsonParser parser : {JsonParser::kMiniJson, JsonParser::kRapidJson}) {
      auto chain = LinkedChain::Create();
      try {
        accepted += ParseChain(text.data(), text.size(), parser, chain) ? 1 : 0;
      } catch (const std::exception&) {
        // Refusals that the format raises to the caller (a root that is not an object,
        // an id that is not uuid text) are fine; only a crash is not.
      }
    }
  }
  EXPECT_GT(accepted, 0);  // some mutations keep the text valid and get built
}

}  // namespace
}  // namespace zelph
