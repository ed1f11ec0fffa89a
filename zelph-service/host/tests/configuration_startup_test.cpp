#include "zelph/host/configuration_startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "zelph/config/zelph_config.h"
#include "zelph/host/command_line.h"
#include "zelph/platform/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zelph::host::CliArguments;
using zelph::host::GetCliArguments;
using zelph::host::InitializeConfiguration;
using zelph::sys::testing::TempFolder;

TEST(ConfigurationStartupTest, FileAndOverridesReachTheConfiguration) {
  TempFolder folder;
  const fs::path file = folder.WriteFile(
      "config.json", R"({"server": {"port": 5100, "service": {"enabled": true, "name": "z"}}})");
  struct Case {
    int service_override;
    int server_override;
    bool service_enabled;
    bool server_enabled;
  };
  const Case kCases[] = {
      {-1, -1, true, false}, {0, 1, false, true}, {2, 2, false, false}, {1, 0, true, false}};
  for (const Case& c : kCases) {
    CliArguments& arguments = GetCliArguments();
    arguments = CliArguments();
    arguments.config = file.string();
    arguments.home = "relative/home";
    arguments.jdk = "/opt/jdk";
    arguments.service_enabled_override = c.service_override;
    arguments.server_enabled_override = c.server_override;
    ZelphConfig* config = InitializeConfiguration();
    EXPECT_EQ(config, ZelphConfig::GetInstance());
    EXPECT_EQ(config->GetPort(), 5100);
    EXPECT_EQ(config->IsServiceEnabled(), c.service_enabled) << c.service_override;
    EXPECT_EQ(config->IsServerEnabled(), c.server_enabled) << c.server_override;
    EXPECT_EQ(config->GetBinHome(), fs::path("relative/home"));  // stays relative
    EXPECT_EQ(config->GetJdkHome(), fs::path("/opt/jdk"));
  }

  GetCliArguments() = CliArguments();
  GetCliArguments().config = file.string();
  EXPECT_EQ(InitializeConfiguration()->GetBinHome(), fs::current_path());
}

// A file that does not parse fails the start-up, but only after the command line's
// overrides are in place.
TEST(ConfigurationStartupTest, BrokenFileFailsAfterTheOverrides) {
  TempFolder folder;
  const fs::path file = folder.WriteFile("config.json", "{\"server\": ");
  CliArguments& arguments = GetCliArguments();
  arguments = CliArguments();
  arguments.config = file.string();
  arguments.home = folder.Path().string();
  arguments.service_enabled_override = 1;
  arguments.server_enabled_override = 1;
  arguments.jdk = "/opt/other-jdk";
  ZelphConfig::GetInstance()->SetServiceEnabled(false);
  ZelphConfig::GetInstance()->SetServerEnabled(false);
  try {
    InitializeConfiguration();
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Can't load zelph configuration zelph_home: " +
                                         folder.Path().string() + ", config: " + file.string());
  }
  EXPECT_TRUE(ZelphConfig::GetInstance()->IsServiceEnabled());
  EXPECT_TRUE(ZelphConfig::GetInstance()->IsServerEnabled());
  EXPECT_EQ(ZelphConfig::GetInstance()->GetJdkHome(), fs::path("/opt/other-jdk"));
}

// Without the command-line checks before it, a missing file fails in the reader.
TEST(ConfigurationStartupTest, MissingFileFailsInTheReader) {
  GetCliArguments() = CliArguments();
  GetCliArguments().config = "/nonexistent/config.json";
  try {
    InitializeConfiguration();
    FAIL() << "no exception";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Something wrong in JSON file!");
  }
}

}  // namespace
