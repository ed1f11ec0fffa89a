#include "zelph/config/rapidjson.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

namespace {

rapidjson::ParseResult Parse(const std::string& text, rapidjson::Document& document) {
  return zelph::json::ParseJsonText(text.data(), text.size(), document);
}

TEST(RapidJsonTest, WrongTypeAccessThrowsTheProjectException) {
  rapidjson::Document document;
  ASSERT_FALSE(Parse(R"({"n":1.5,"s":"x"})", document).IsError());
  try {
    document["n"].GetString();
    FAIL();
  } catch (const std::runtime_error&) {
    FAIL() << "must not be a std::runtime_error";
  } catch (const zelph::Exception& error) {
    EXPECT_STREQ(error.what(), "Something wrong in JSON file!");
  }
  EXPECT_THROW(document["s"].GetInt(), zelph::Exception);
  EXPECT_THROW(document["n"].GetArray(), zelph::Exception);
}

TEST(RapidJsonTest, ParseErrorsByCodeAndOffset) {
  struct Case {
    std::string text;
    rapidjson::ParseErrorCode code;
    size_t offset;
  };
  const std::string deep_ok = std::string(256, '[') + std::string(256, ']');
  const Case kCases[] = {
      {"", rapidjson::kParseErrorDocumentEmpty, 0},
      {"\xEF\xBB\xBF{}", rapidjson::kParseErrorValueInvalid, 0},
      {"{} x", rapidjson::kParseErrorDocumentRootNotSingular, 3},
      {R"({"a":)", rapidjson::kParseErrorValueInvalid, 5},
      {std::string(257, '[') + std::string(257, ']'), rapidjson::kParseErrorTermination, 256},
      {std::string(1000000, '['), rapidjson::kParseErrorTermination, 256},
      {deep_ok, rapidjson::kParseErrorNone, 0},
  };
  for (const Case& c : kCases) {
    rapidjson::Document document;
    const rapidjson::ParseResult result = Parse(c.text, document);
    EXPECT_EQ(result.Code(), c.code) << c.text.substr(0, 40);
    if (result.IsError()) {
      EXPECT_EQ(result.Offset(), c.offset) << c.text.substr(0, 40);
      EXPECT_TRUE(document.IsNull());
    }
  }
  EXPECT_EQ(zelph::FormatParseErrorCode(rapidjson::kParseErrorTermination), "parse error code: 16");
}

TEST(RapidJsonTest, OnlyRegularFilesOpen) {
  const auto folder = std::filesystem::temp_directory_path();
  for (const std::string& path : {folder.string(), (folder / "zelph-absent.json").string(),
                                  std::string("/dev/null"), std::string()}) {
    rapidjson::Document document;
    EXPECT_THROW(zelph::json::ParseJsonFile(path, document), zelph::Exception) << path;
  }
}

}  // namespace
