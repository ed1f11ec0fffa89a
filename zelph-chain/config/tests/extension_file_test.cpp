#include "zelph/config/data_extension.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capturing_logger.h"
#include "temp_file.h"

namespace {

using zelph::DataExtension;
using zelph::testing::CapturingLogger;
using zelph::testing::TempFile;

using Strings = std::vector<std::string>;

TEST(ExtensionFileTest, ReadsPlatformsAndSkipsMembersOfTheWrongType) {
  CapturingLogger log;
  DataExtension extension("ext/folder");
  ASSERT_EQ(zelph::ParseExtensionFile(ZELPH_CONFIG_FIXTURES "/extension.json",
                                      JsonParser::kRapidJson, extension),
            0);
  EXPECT_EQ(extension.folder, "ext/folder");
  ASSERT_EQ(extension.platforms.size(), 3u);
  auto platform = extension.platforms.begin();
  EXPECT_EQ(platform->id, "native-cpp");
  EXPECT_EQ(platform->technology, "native");
  EXPECT_EQ(platform->language, "cpp");
  EXPECT_EQ(platform->description, "second");
  EXPECT_EQ(platform->folders.specifications, "docs");
  EXPECT_EQ(platform->folders.modules, "mod");
  EXPECT_EQ(platform->folders.libraries, "lib");
  EXPECT_EQ(platform->folders.resources, "res");

  ++platform;
  EXPECT_EQ(platform->id, "");
  EXPECT_EQ(platform->configuration.classpath, (Strings{"a.jar", "b.jar", "linux.jar", "c.jar"}));
  EXPECT_EQ(platform->configuration.vm_options, Strings{"-Xmx1g"});
  const std::map<std::string, std::string> properties = {
      {"s", "again"}, {"i", "5"}, {"t", "true"}, {"f", "0.250000"}, {"e", "100.000000"}};
  EXPECT_EQ(platform->properties, properties);

  ++platform;
  EXPECT_TRUE(platform->folders.modules.empty());

  const std::string expected_log =
      "[error] Unexpected 'id' type, expected string\n"
      "[error] Unexpected classpath value type, expected string\n"
      "[error] Unexpected classpath item value type, expected string\n"
      "[error] Unexpected property item type\n"
      "[error] Unexpected property item type\n"
      "[error] Unexpected property item type\n"
      "[error] Unexpected 'folders' type, expected object\n"
      "[error] Unexpected 'configuration' type, expected object\n"
      "[error] Unexpected 'properties' type, expected object\n";
  EXPECT_EQ(log.Text(), expected_log);
}

TEST(ExtensionFileTest, FailuresAndTheirTexts) {
  struct Case {
    std::string text;
    int result;
    std::string log;  // after "Failed to parse extension: <path>, error: " for result 1
    size_t platforms;
  };
  const Case kCases[] = {
      {R"({"app":"executors-extension","platforms":[]})", 0, "", 0},
      {R"({"app":"executors-extension","platforms":{}})", 0,
       "[error] Unexpected 'platforms' type, expected array\n", 0},
      {R"({"app":"executors-extension","platforms":[{"id":"a"},{"folders":{"modules":1}}]})", 1,
       "Something wrong in JSON file!", 1},
      {R"({"app":"executors-extension","platforms":[{"id":"a"},3]})", 1,
       "Something wrong in JSON file!", 1},
      {R"({"platforms":[]})", 1, "Expected 'app' key", 0},
      {R"({"app":1,"platforms":[]})", 1, "Something wrong in JSON file!", 0},
      {R"({"app":"extension","platforms":[]})", 1, "Expected 'app': 'executors-extension'", 0},
      {R"({"app":"executors-extension"})", 1, "Expected 'platforms' key", 0},
      {R"([])", 1, "Something wrong in JSON file!", 0},
      {"", 1, "parse error code: 1", 0},
      {"\xEF\xBB\xBF{}", 1, "parse error code: 3", 0},
      {R"({"app":"executors-extension","platforms":[]} x)", 1, "parse error code: 2", 0},
      {std::string(1000000, '['), 1, "parse error code: 16", 0},
  };
  for (const Case& c : kCases) {
    TempFile file(c.text);
    CapturingLogger log;
    DataExtension extension("");
    EXPECT_EQ(zelph::ParseExtensionFile(file.Path(), JsonParser::kRapidJson, extension), c.result)
        << c.text.substr(0, 80);
    const std::string expected =
        c.result == 0
            ? c.log
            : "[error] Failed to parse extension: " + file.Path() + ", error: " + c.log + "\n";
    EXPECT_EQ(log.Text(), expected) << c.text.substr(0, 80);
    EXPECT_EQ(extension.platforms.size(), c.platforms) << c.text.substr(0, 80);
  }
}

TEST(ExtensionFileTest, UnreadablePathsAndOtherBackEnds) {
  struct Case {
    std::string path;
    JsonParser parser;
    std::string log;
  };
  const std::string absent = "/nonexistent/extension.json";
  const Case kCases[] = {
      {absent, JsonParser::kRapidJson,
       "Failed to parse extension: " + absent + ", error: Something wrong in JSON file!"},
      {"/tmp", JsonParser::kRapidJson,
       "Failed to parse extension: /tmp, error: Something wrong in JSON file!"},
      {ZELPH_CONFIG_FIXTURES "/extension.json", JsonParser::kMiniJson,
       "Failed to parse extension file: " ZELPH_CONFIG_FIXTURES
       "/extension.json unsupported minijson parser"},
      {absent, static_cast<JsonParser>(2),
       "Failed to parse extension file: [2] unsupported json parser"},
  };
  for (const Case& c : kCases) {
    CapturingLogger log;
    DataExtension extension("");
    EXPECT_EQ(zelph::ParseExtensionFile(c.path, c.parser, extension), 1);
    EXPECT_EQ(log.Text(), "[error] " + c.log + "\n");
    EXPECT_TRUE(extension.platforms.empty());
  }
}

}  // namespace
