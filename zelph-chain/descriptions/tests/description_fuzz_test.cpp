// description_fuzz_test.cpp
//
// Random and mutated descriptions must end in true or false, never in a crash, a hang or
// a sanitizer report. Seeded, so a failure repeats.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "description_test_support.h"

namespace zelph::testing {
namespace {

std::string FixtureText(const char* name) {
  std::ifstream stream(FixturePath(name), std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

std::string Mutate(std::string text, std::mt19937& random) {
  static const std::string kPieces[] = {
      "{",  "}",   "[",    "]",     ",", ":",    "\"",
      "\\", "\\u", "null", "1e999", "-", "\xff", std::string(1, '\0')};
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int i = 0; i < edits && !text.empty(); ++i) {
    const std::size_t at = random() % text.size();
    switch (random() % 4) {
      case 0:
        text[at] = static_cast<char>(random());
        break;
      case 1:
        text.erase(at, 1 + random() % 8);
        break;
      case 2:
        text.insert(at, kPieces[random() % std::size(kPieces)]);
        break;
      default:
        text.resize(at);
    }
  }
  return text;
}

TEST(DescriptionFuzz, MutatedAndRandomTextsNeverCrash) {
  CapturingLogger quiet(ZelphSeverityLevel::kDisabled);
  std::vector<std::string> seeds;
  for (const char* name : {"full.json", "object_default.json", "bad_port.json", "parent.json"}) {
    seeds.push_back(FixtureText(name));
  }
  std::mt19937 random(20240611);
  int read = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = Mutate(seeds[round % seeds.size()], random);
    if (round % 10 == 0) {  // pure noise now and then
      text.resize(random() % 64);
      for (char& c : text) c = static_cast<char>(random());
    }
    auto model = MakeModel();
    read += DeserializeModelFromJson(text.data(), text.size(), JsonParser::kMiniJson, model);
  }
  EXPECT_GT(read, 0);  // some mutations stay valid
}

TEST(DescriptionFuzz, DeepNestingFailsWithoutExhaustingTheStack) {
  CapturingLogger quiet(ZelphSeverityLevel::kCritical);
  const std::string text = "{\"x\": " + std::string(1000000, '[');
  auto model = MakeModel();
  EXPECT_FALSE(DeserializeModelFromJson(text.data(), text.size(), JsonParser::kMiniJson, model));
}

}  // namespace
}  // namespace zelph::testing
