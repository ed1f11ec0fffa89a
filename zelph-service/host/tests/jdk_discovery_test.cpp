// jdk_discovery_test.cpp
//
// The Java runtime the Java plug-in starts: the configured home first, then JAVA_HOME, the
// java command on PATH and the system's default, each taken only when it holds the Java VM
// library; and the start-up error that names every home tried.
#include "zelph/host/jdk_discovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "zelph/config/data_extension.h"
#include "zelph/config/zelph_config.h"
#include "zelph/host/command_line.h"
#include "zelph/host/extensions.h"
#include "zelph/platform/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zelph::DataExtension;
using zelph::host::FindJdk;
using zelph::host::JdkCandidate;
using zelph::host::JdkCandidates;
using zelph::host::NoJdkMessage;
using zelph::host::SystemJava;
using zelph::sys::testing::TempFolder;

// Four Java homes, each made only when asked, and the system that points at them: PATH
// reaches the "path" home's java through a link in a folder of its own, after a folder
// with no java in it.
class JdkHomes {
 public:
  fs::path Home(const std::string& name) const { return folder_.Path() / name; }

  void MakeJdk(const std::string& name) const {
    folder_.WriteFile(fs::path(name) / "lib/server/libjvm.so", "");
  }
  // A home with a bin/java but no Java VM library.
  void MakeJavaCommand(const std::string& name) const {
    const fs::path java = folder_.WriteFile(fs::path(name) / "bin/java", "#!/bin/sh\n");
    ::chmod(java.c_str(), 0755);
    fs::create_directories(folder_.Path() / "links");
    fs::create_symlink(java, folder_.Path() / "links/java");
  }

  SystemJava System() const {
    SystemJava system;
    system.java_home = Home("env").string();
    system.path = (folder_.Path() / "empty").string() + ":" + (folder_.Path() / "links").string();
    system.default_home = Home("default");
    return system;
  }

 private:
  TempFolder folder_;
};

std::vector<std::string> Origins(const std::vector<JdkCandidate>& candidates) {
  std::vector<std::string> origins;
  for (const JdkCandidate& candidate : candidates) origins.push_back(candidate.origin);
  return origins;
}

TEST(JdkDiscoveryTest, TheFirstHomeWithAJavaVmLibraryIsTaken) {
  struct Case {
    std::vector<std::string> jdks;  // the homes that hold a Java VM library
    std::string expected;           // the origin taken, empty for none
  };
  const Case kCases[] = {
      {{"configured", "env", "path", "default"}, "configuration"},
      {{"env", "path", "default"}, "JAVA_HOME"},
      {{"path", "default"}, "java on PATH"},
      {{"default"}, "the system's default"},
      {{}, ""},
  };
  for (const Case& c : kCases) {
    JdkHomes homes;
    homes.MakeJavaCommand("path");
    for (const std::string& jdk : c.jdks) homes.MakeJdk(jdk);
    const std::vector<JdkCandidate> candidates =
        JdkCandidates({homes.Home("configured"), "configuration"}, homes.System());
    ASSERT_EQ(Origins(candidates),
              (std::vector<std::string>{"configuration", "JAVA_HOME", "java on PATH",
                                        "the system's default"}));
    // The java command is found through its link: the home is the one above its real bin/.
    EXPECT_EQ(candidates[2].home, fs::canonical(homes.Home("path")));
    const std::optional<JdkCandidate> found = FindJdk(candidates);
    EXPECT_EQ(found ? found->origin : "", c.expected) << testing::PrintToString(c.jdks);
  }
}

TEST(JdkDiscoveryTest, UnsetEnvironmentAddsNoCandidate) {
  SystemJava system;
  system.default_home = "/nowhere/default-java";
  const std::vector<JdkCandidate> candidates = JdkCandidates({"/nowhere/jdk", "--jdk"}, system);
  EXPECT_EQ(Origins(candidates), (std::vector<std::string>{"--jdk", "the system's default"}));
}

TEST(JdkDiscoveryTest, NoJdkMessageNamesEveryHomeTried) {
  EXPECT_EQ(NoJdkMessage({{"/opt/zelph/jdk", "configuration"}, {"/usr/lib/jvm/x", "JAVA_HOME"}}),
            "No Java runtime found. Tried (each needs lib/server/libjvm.so):\n"
            "  \"/opt/zelph/jdk\" (configuration)\n"
            "  \"/usr/lib/jvm/x\" (JAVA_HOME)\n"
            "Install a Java 17 runtime, or name its home with --jdk or with "
            "\"server\"/\"jdk\"/\"home\" in the configuration.");
}

TEST(JdkDiscoveryTest, OnlyJavaExtensionsNeedAJavaRuntime) {
  DataExtension native("plugins/native");
  native.platforms.emplace_back().technology = "native";
  DataExtension java("ext/models");
  java.platforms.emplace_back().technology = "jvm";
  EXPECT_FALSE(zelph::host::HasJavaExtension({}));
  EXPECT_FALSE(zelph::host::HasJavaExtension({native}));
  EXPECT_TRUE(zelph::host::HasJavaExtension({native, java}));
}

// Changes the process-wide configuration's JDK home: a process of its own.
TEST(JdkDiscoveryTest, TheConfigurationTakesTheFoundHome) {
  JdkHomes homes;
  homes.MakeJdk("env");
  ZelphConfig& config = *ZelphConfig::GetInstance();
  zelph::host::GetCliArguments() = zelph::host::CliArguments();

  config.SetJdkHome(homes.Home("configured").string());
  zelph::host::UseFoundJdk(config, homes.System());
  EXPECT_EQ(config.GetJdkHome(), homes.Home("env"));

  // A configured home that holds the library is kept as it is.
  homes.MakeJdk("configured");
  config.SetJdkHome(homes.Home("configured").string());
  zelph::host::UseFoundJdk(config, homes.System());
  EXPECT_EQ(config.GetJdkHome(), homes.Home("configured"));

  // None anywhere: the error names each home, and the configuration keeps its own.
  SystemJava nothing;
  nothing.default_home = homes.Home("default");
  config.SetJdkHome(homes.Home("missing").string());
  try {
    zelph::host::UseFoundJdk(config, nothing);
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(error.what(), NoJdkMessage({{homes.Home("missing"), "configuration"},
                                          {homes.Home("default"), "the system's default"}}));
  }
  EXPECT_EQ(config.GetJdkHome(), homes.Home("missing"));
}

}  // namespace
