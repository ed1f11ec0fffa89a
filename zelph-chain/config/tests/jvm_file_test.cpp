#include "zelph/config/data_jvm.h"

#include <gtest/gtest.h>

#include <list>
#include <string>

#include "capturing_logger.h"
#include "temp_file.h"

namespace {

using zelph::DataJvm;
using zelph::testing::CapturingLogger;
using zelph::testing::TempFile;

using Strings = std::list<std::string>;

TEST(JvmFileTest, ReadsTheListsAndTheLaterKeyWins) {
  DataJvm jvm("conf/jvm.json");
  jvm.vm_options_exclude = {"kept"};
  ASSERT_EQ(zelph::ParseJvmFile(ZELPH_CONFIG_FIXTURES "/jvm.json", JsonParser::kRapidJson, jvm), 0);
  EXPECT_EQ(jvm.text, "conf/jvm.json");
  EXPECT_EQ(jvm.classpath, (Strings{"lib/a.jar", "lib/b.jar"}));
  EXPECT_EQ(jvm.vm_options, (Strings{"-Xrs", "-Xmx512m"}));
  EXPECT_EQ(jvm.vm_options_exclude, Strings{"kept"});
}

TEST(JvmFileTest, AnyWrongTypeFailsTheFile) {
  struct Case {
    std::string text;
    int result;
    std::string error;
    Strings classpath;  // what the reading leaves
  };
  const Case kCases[] = {
      {"{}", 0, "", {}},
      {R"({"classpath":[]})", 0, "", {}},
      {R"({"classpath":["a"],"vm_options":"-Xrs"})", 1, "Something wrong in JSON file!", {"a"}},
      {R"({"vm_options_exclude":["a",1]})", 1, "Something wrong in JSON file!", {}},
      {R"({"classpath":[null]})", 1, "Something wrong in JSON file!", {}},
      {R"(["classpath"])", 1, "Something wrong in JSON file!", {}},
      {"", 1, "parse error code: 1", {}},
      {R"({"classpath":["a"])", 1, "parse error code: 6", {}},
      {std::string(300, '{'), 1, "parse error code: 4", {}},
      {std::string(300, '['), 1, "parse error code: 16", {}},
  };
  for (const Case& c : kCases) {
    TempFile file(c.text);
    CapturingLogger log;
    DataJvm jvm("");
    EXPECT_EQ(zelph::ParseJvmFile(file.Path(), JsonParser::kRapidJson, jvm), c.result) << c.text;
    EXPECT_EQ(jvm.classpath, c.classpath) << c.text;
    const std::string expected =
        c.result == 0
            ? ""
            : "[error] Failed to parse JVM JSON: " + file.Path() + ", error: " + c.error + "\n";
    EXPECT_EQ(log.Text(), expected) << c.text;
  }
}

TEST(JvmFileTest, UnreadablePathsAndOtherBackEnds) {
  struct Case {
    std::string path;
    JsonParser parser;
    std::string log;
  };
  const Case kCases[] = {
      {"/nonexistent/jvm.json", JsonParser::kRapidJson,
       "Failed to parse JVM JSON: /nonexistent/jvm.json, error: Something wrong in JSON file!"},
      {"/tmp", JsonParser::kRapidJson,
       "Failed to parse JVM JSON: /tmp, error: Something wrong in JSON file!"},
      {"jvm.json", JsonParser::kMiniJson,
       "Failed to parse JVM file: jvm.json unsupported minijson parser"},
      {"jvm.json", static_cast<JsonParser>(5),
       "Failed to parse JVM file: [5] unsupported json parser"},
  };
  for (const Case& c : kCases) {
    CapturingLogger log;
    DataJvm jvm("");
    EXPECT_EQ(zelph::ParseJvmFile(c.path, c.parser, jvm), 1);
    EXPECT_EQ(log.Text(), "[error] " + c.log + "\n");
  }
}

}  // namespace
