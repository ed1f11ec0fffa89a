#include "zelph/host/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "zelph/host/chain_parameters.h"
#include "zelph/host/command_line_checks.h"
#include "zelph/platform/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zelph::host::CliArguments;
using zelph::host::GetCliArguments;
using zelph::sys::testing::TempFolder;

// Parses `arguments` (after the program name) into a fresh record; returns the standard
// output.
std::string Parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "zelph-service");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  GetCliArguments() = CliArguments();
  testing::internal::CaptureStdout();
  try {
    zelph::host::ParseCommandLine(static_cast<int>(arguments.size()), argv.data());
  } catch (...) {
    testing::internal::GetCapturedStdout();
    throw;
  }
  return testing::internal::GetCapturedStdout();
}

TEST(CommandLineTest, OptionsFillTheRecord) {
  EXPECT_EQ(Parse({}), "");
  const CliArguments& parsed = GetCliArguments();
  EXPECT_TRUE(parsed.server);
  EXPECT_FALSE(parsed.extended || parsed.debug);
  EXPECT_EQ(parsed.config, "config.json");
  EXPECT_EQ(parsed.p_delimiter, ";");
  EXPECT_EQ(parsed.v_delimiter, "=");
  EXPECT_EQ(parsed.service_enabled_override, -1);
  EXPECT_EQ(parsed.server_enabled_override, -1);
  EXPECT_TRUE(parsed.home.empty() && parsed.chain.empty() && parsed.params.empty() &&
              parsed.test.empty() && parsed.jdk.empty() && parsed.extra_args.empty());

  const std::string out =
      Parse({"--server", "0", "--chain=c.json", "--params=a=1", "--config=/etc/z é.json",
             "--home=h", "--debug", "-x", "--test=t", "--p_delimiter=,",
             "--v_delimiter=:", "--server/service/enabled=1", "--server/enabled=0"});
  EXPECT_EQ(out, "Running in extended mode...\n");
  EXPECT_FALSE(parsed.server);
  EXPECT_TRUE(parsed.extended && parsed.debug);
  EXPECT_EQ(parsed.chain, "c.json");
  EXPECT_EQ(parsed.params, "a=1");
  EXPECT_EQ(parsed.config, "/etc/z é.json");  // bytes as given, no locale
  EXPECT_EQ(parsed.home, "h");
  EXPECT_EQ(parsed.test, "t");
  EXPECT_EQ(parsed.p_delimiter, ",");
  EXPECT_EQ(parsed.v_delimiter, ":");
  EXPECT_EQ(parsed.service_enabled_override, 1);
  EXPECT_EQ(parsed.server_enabled_override, 0);
  EXPECT_TRUE(parsed.extra_args.empty());
}

// Everything the option table does not know goes to the Java VM, in command-line order,
// and is listed; "--python" adds its own "-Dpython.home=", which hides any given one.
TEST(CommandLineTest, UnknownOptionsPassThroughAndAreListed) {
  const std::string out =
      Parse({"--jdk=", "--python=", "-Xmx16g", "-Dpython.home=/x", "-Dk=v", "--ext", "pos"});
  EXPECT_EQ(out,
            "Custom JDK (Java Developer Kit): \"\"\n"
            "Custom Python installation: \"\"\n"
            "Additional command-line parameters:\n"
            "  \"-Dpython.home=\" (added automatically based on \"--python\")\n"
            "  \"--jdk\"\n"
            "  \"--python\"\n"
            "  \"-Xmx16g\"\n"
            "  \"-Dk=v\"\n"
            "  \"--ext\"\n"
            "  \"pos\"\n");
  const std::vector<std::string> expected{"-Dpython.home=", "--jdk", "--python", "-Xmx16g",
                                          "-Dk=v",          "--ext", "pos"};
  EXPECT_EQ(GetCliArguments().extra_args, expected);
  EXPECT_FALSE(GetCliArguments().extended) << "--ext is no abbreviation";
  EXPECT_EQ(GetCliArguments().jdk, "");

  // The last JDK home counts; each is printed and passed through.
  const std::string jdk_out = Parse({"--jdk=/opt/jdk é", "--jdk=/opt/jdk2"});
  EXPECT_EQ(jdk_out,
            "Custom JDK (Java Developer Kit): \"/opt/jdk é\"\n"
            "Custom JDK (Java Developer Kit): \"/opt/jdk2\"\n"
            "Additional command-line parameters:\n"
            "  \"--jdk=/opt/jdk é\"\n"
            "  \"--jdk=/opt/jdk2\"\n");
  EXPECT_EQ(GetCliArguments().jdk, "/opt/jdk2");
}

TEST(CommandLineTest, SecondParseResetsOptionsAndAppendsPassThrough) {
  Parse({"--debug", "--config=a.json", "-Xa"});
  std::vector<std::string> arguments{"service-name", "-Xb"};
  std::vector<char*> argv{arguments[0].data(), arguments[1].data(), nullptr};
  testing::internal::CaptureStdout();
  zelph::host::ParseCommandLine(2, argv.data());
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(GetCliArguments().debug);
  EXPECT_EQ(GetCliArguments().config, "config.json");
  EXPECT_EQ(GetCliArguments().extra_args, (std::vector<std::string>{"-Xa", "-Xb"}));
}

TEST(CommandLineTest, BadOptionsThrow) {
  const std::vector<std::vector<std::string>> kBad = {
      {"--server=maybe"},
      {"-h", "--server=maybe"},  // the library fails before help is
                                 // looked at
      {"--config=a", "--config=b"},
      {"--server/service/enabled=on"},
      {"--home"},
  };
  for (const auto& arguments : kBad) {
    EXPECT_THROW(Parse(arguments), std::exception) << arguments.back();
  }
  try {
    Parse({"--jdk=/opt/\xFFjdk"});
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()).rfind(
                  "Invalid JDK path (--jdk argument): cannot be converted to UTF-8: ", 0),
              0u)
        << e.what();
  }
}

TEST(ChainParametersTest, PairsOfTheParamsOption) {
  struct Case {
    std::string params;
    std::string p_delimiter;
    std::string v_delimiter;
    std::map<std::string, std::string> pairs;
    std::string params_after;
  };
  const Case kCases[] = {
      {"a=1;b=2", ";", "=", {{"a", "1"}, {"b", "2"}}, "a=1;b=2"},
      {"\"a=1;b=2\"", ";", "=", {{"a", "1"}, {"b", "2"}}, "a=1;b=2"},
      {"\"a=1;b=2", ";", "=", {{"a", "1"}, {"b", ""}}, "a=1;b="},  // the last character goes anyway
      {"\"", ";", "=", {}, ""},
      {"a=1;;b=2;", ";", "=", {{"a", "1"}, {"b", "2"}}, "a=1;;b=2;"},
      {"a=1;a=2", ";", "=", {{"a", "2"}}, "a=1;a=2"},
      {"a=1=2", ";", "=", {}, "a=1=2"},
      {"a;b", ";", "=", {}, "a;b"},
      {"=1", ";", "=", {{"", "1"}}, "=1"},
      {"", ";", "=", {}, ""},
      {"a:1,b:2", ",", ":", {{"a", "1"}, {"b", "2"}}, "a:1,b:2"},
      {"a=>1&&b=>2&&c", "&&", "=>", {{"a", "1"}, {"b", "2"}}, "a=>1&&b=>2&&c"},
  };
  for (const Case& c : kCases) {
    CliArguments& arguments = GetCliArguments();
    arguments = CliArguments();
    arguments.params = c.params;
    arguments.p_delimiter = c.p_delimiter;
    arguments.v_delimiter = c.v_delimiter;
    EXPECT_EQ(zelph::host::ParseChainParameters(), c.pairs) << c.params;
    EXPECT_EQ(arguments.params, c.params_after);
  }
}

TEST(CommandLineChecksTest, FirstFailedCheckThrowsItsText) {
  TempFolder folder;
  const std::string config = folder.WriteFile("config.json", "{}").string();
  const std::string chain = folder.WriteFile("chain.json", "{}").string();
  const std::string home = folder.WriteFile("home/zelph-service", "").parent_path().string();
  const std::string empty_home = (folder.Path() / "empty").string();
  fs::create_directories(empty_home);
  const std::string missing = (folder.Path() / "missing").string();
  const std::string root = folder.Path().string();

  using Field = std::string CliArguments::*;
  struct Case {
    const char* name;
    std::vector<std::pair<Field, std::string>> changes;  // to arguments that pass every check
    std::string failure;                                 // empty: passes
  };
  const std::string test_text =
      "argument '--test' should be point to existing folder with tests or empty";
  const std::string config_text =
      "argument '--config' should locate to existing zelph configuration";
  const Case kCases[] = {
      {"all valid", {}, ""},
      {"no optional values",
       {{&CliArguments::home, ""},
        {&CliArguments::chain, ""},
        {&CliArguments::test, ""},
        {&CliArguments::params, ""}},
       ""},
      {"test missing", {{&CliArguments::test, missing}}, test_text},
      {"test is a file", {{&CliArguments::test, chain}}, test_text},
      {"home missing",
       {{&CliArguments::home, missing}},
       "argument '--home' should locate to actually zelph home folder"},
      {"home without the program",
       {{&CliArguments::home, empty_home}},
       "argument '--home' should locate to actually zelph home folder (folder with "
       "\"zelph-service\")"},
      {"config missing", {{&CliArguments::config, missing}}, config_text},
      {"config is a folder", {{&CliArguments::config, root}}, config_text},
      {"chain missing",
       {{&CliArguments::chain, missing}},
       "error in argument '--chain': chain not found."},
      {"value delimiter empty", {{&CliArguments::v_delimiter, ""}}, "--v_delimiter can't be empty"},
      {"parameter delimiter empty",
       {{&CliArguments::p_delimiter, ""}},
       "--p_delimiter can't be empty"},
      {"params without a pair",
       {{&CliArguments::params, "a=1=2"}},
       "--params should be formatter as key1=value1;key2=value2 format"},
      {"params with other delimiters",
       {{&CliArguments::params, "a"},
        {&CliArguments::p_delimiter, ","},
        {&CliArguments::v_delimiter, ":"}},
       "--params should be formatter as key1:value1,key2:value2 format"},
      {"two failures",
       {{&CliArguments::test, missing}, {&CliArguments::config, missing}},
       test_text},
  };
  for (const Case& c : kCases) {
    CliArguments& arguments = GetCliArguments();
    arguments = CliArguments();
    arguments.config = config;
    arguments.home = home;
    arguments.chain = chain;
    arguments.test = root;
    arguments.params = "a=1";
    for (const auto& [field, value] : c.changes) arguments.*field = value;
    if (c.failure.empty()) {
      EXPECT_NO_THROW(zelph::host::ValidateCliArguments()) << c.name;
      continue;
    }
    try {
      zelph::host::ValidateCliArguments();
      ADD_FAILURE() << c.name << ": no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), c.failure) << c.name;
    }
  }
}

}  // namespace
