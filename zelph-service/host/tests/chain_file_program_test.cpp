// Process tests of the chain-file run ("--server=0"): whatever becomes of the chain, the
// program ends with 0 and says what happened.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "zelph/testing/program_installation.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using zelph::testing::ChildResult;
using zelph::testing::ProgramInstallation;

constexpr const char* kNativeExtension =
    R"({"app": "executors-extension", "platforms": [{"technology": "native", "language": "cpp"}]})";
// The Value worker "value" of the fixture chain (a Loader, a Main and that Value worker).
constexpr const char* kValueWorkerId = "1a2b0000-0000-4000-8000-0000000000f3";

TEST(ChainFileProgramTest, EveryRunEndsWithZero) {
  struct Case {
    const char* name;
    const char* chain_section;  // the configuration's "chain" object
    std::vector<std::string> arguments;
    std::vector<std::string> texts;
  };
  const std::string load_failed = "[error] Chain can't be executed, load chain file failed\n";
  const Case kCases[] = {
      {"no chain, document reader", "{}", {"--server=0"}, {load_failed}},
      {"no chain, streaming reader", R"({"reader": "mini_json"})", {"--server=0"}, {load_failed}},
      {"not a chain", "{}", {"--server=0", "--chain=notes.txt"}, {load_failed}},
      {"unsupported chain type",
       R"({"type": "Base-Chain"})",
       {"--server=0", "--chain=chain.json"},
       {"[error] Unsupported chain impl type\n", "[error] Internal error, chain not created\n"}},
      {"parameters",
       "{}",
       {"--server=0", "--chain=chain.json", "--params=value=5;missing=1"},
       {std::string("[info] Parameter written value: 5, uuid: ") + kValueWorkerId + "\n",
        "[error] Data worker with system name: missing not found\n"}},
  };
  ProgramInstallation installation;
  installation.AddExtension("plugins/service_test_plugin", kNativeExtension, SERVICE_TEST_PLUGIN);
  std::filesystem::copy_file(CHAIN_FIXTURE, installation.Bin() / "chain.json");
  installation.Write("notes.txt", "not a chain");
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string config = installation.Config("info");
    config.insert(config.size() - 1, std::string(R"(, "chain": )") + c.chain_section);
    installation.WriteConfig(config);
    const ChildResult result = installation.Run(c.arguments);
    EXPECT_TRUE(result.exited) << result.signal;
    EXPECT_EQ(result.exit_code, 0) << result.err;
    for (const std::string& text : c.texts) EXPECT_THAT(result.err, HasSubstr(text));
    EXPECT_THAT(result.err, Not(HasSubstr("Chain executed with error")));
    EXPECT_THAT(result.err, Not(HasSubstr("Server starts listening")));
  }
}

}  // namespace
