// Random bytes and random mutations of valid texts: every one ends in a result or a
// StreamError from the streaming reader and a result from the document parse, never in a
// crash (run under the address sanitizer build).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "json_dump.h"
#include "zelph/config/rapidjson.h"

namespace {

const std::string kSeeds[] = {
    R"({"app":"zelph-chain","version":"2","chain":{"workers":[{"id":"a","ports":[1,2.5e3,-0]}]}})",
    R"({"platforms":[{"id":"x","configuration":{"classpath":["a","b"]},"properties":{"p":0.25}}]})",
    R"(["\u00e9\ud83d\ude00\"\\",true,false,null,{"":{}},[[[]]],-1.5E-7])",
};

std::string Mutate(std::string text, std::mt19937& random) {
  static const std::string kAlphabet = "{}[]\":,\\/ -+.eE0123456789truefalsn\x00\xff\xef\xbb\xbf";
  std::uniform_int_distribution<int> count(1, 4);
  for (int n = count(random); n > 0; --n) {
    std::uniform_int_distribution<std::size_t> at(0, text.size());
    const std::size_t position = at(random);
    const char byte = kAlphabet[random() % kAlphabet.size()];
    switch (random() % 4) {
      case 0:
        if (position < text.size()) text[position] = byte;
        break;
      case 1:
        text.insert(text.begin() + static_cast<std::ptrdiff_t>(position), byte);
        break;
      case 2:
        if (position < text.size()) text.erase(position, 1);
        break;
      default:
        text.resize(position);
        break;
    }
  }
  return text;
}

void ReadBothWays(const std::string& text) {
  // Only StreamError may leave the streaming reader.
  zelph::json::testing::DumpText(text);
  rapidjson::Document document;
  zelph::json::ParseJsonText(text.data(), text.size(), document);
}

TEST(JsonFuzzTest, RandomBytes) {
  std::mt19937 random(20240517);
  for (int i = 0; i < 3000; ++i) {
    std::string text(random() % 256, '\0');
    for (char& byte : text) byte = static_cast<char>(random());
    ReadBothWays(text);
  }
}

TEST(JsonFuzzTest, MutatedTexts) {
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) {
    ReadBothWays(Mutate(kSeeds[static_cast<std::size_t>(i) % std::size(kSeeds)], random));
  }
}

}  // namespace
