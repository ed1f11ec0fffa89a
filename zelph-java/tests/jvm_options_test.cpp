// jvm_options_test.cpp
//
// The Java VM option list assembled from a product home, without a VM: order, class path,
// excludes, variables, dropped entries, pass-through arguments, and the folder walk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "zelph/config/zelph_config.h"
#include "zelph/java/jvm_options.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kRoot = "-Dnet.morvex.executors.root=../ext";

// A product home in a fresh folder, with the working directory in its bin folder so that
// every path of the options comes out relative ("../ext", "../lib/a.jar").
class JvmOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    root_ = fs::temp_directory_path() /
            ("zelph-jvm-options-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(root_ / "bin");
    fs::create_directories(root_ / "ext");
    saved_directory_ = fs::current_path();
    fs::current_path(root_ / "bin");
    ZelphConfig* config = ZelphConfig::GetInstance();
    config->SetBinHome(root_ / "bin");
    config->SetDavodavoraRelativeDir("..");
    config->SetExtendedMode(false);
    config->SetUnrecognizedCliArgPointers({});
  }
  void TearDown() override {
    fs::current_path(saved_directory_);
    fs::remove_all(root_);
  }

  void Write(const std::string& relative, const std::string& text) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary) << text;
  }

  static std::vector<std::string> Options() {
    JvmOptions options;
    InitializeJvmOptions(options);
    return DropEmptyAndCommentedOptions(BuildJvmOptionList(options));
  }

  fs::path root_;
  fs::path saved_directory_;
};

// An extension.json with one platform per entry of `platforms` ("technology/language",
// then the configuration's JSON members).
std::string Extension(const std::vector<std::pair<std::string, std::string>>& platforms) {
  std::string text = R"({"app": "executors-extension", "platforms": [)";
  for (size_t i = 0; i < platforms.size(); ++i) {
    const auto& [kind, configuration] = platforms[i];
    const size_t slash = kind.find('/');
    text += (i ? "," : "") + std::string(R"({"technology": ")") + kind.substr(0, slash) +
            R"(", "language": ")" + kind.substr(slash + 1) + R"(", "configuration": {)" +
            configuration + "}}";
  }
  return text + "]}";
}

TEST_F(JvmOptionsTest, ListFollowsTheSourcesInTheirOrder) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> files;
    bool extended;
    std::vector<std::string> arguments;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"an empty installation", {}, false, {}, {kRoot, "-Djava.class.path="}},
      {"every source",
       {{"conf/jvm.json",
         R"j({"vm_options": ["-Dhome=1", "-Djava.class.path=stale", "-Djava.class.path=again"],
             "classpath": ["lib/b.jar"]})j"},
        {"conf/jvm.extended.json",
         R"j({"vm_options": ["-Dextended=1"], "classpath": ["./x/../lib/a.jar", "lib/b.jar"]})j"},
        {"ext/e/extension.json",
         Extension({{"jvm/java", R"("vm_options": ["-Dplatform=1"], "classpath": ["lib/./c.jar"])"},
                    {"JVM/java", R"("vm_options": ["-Dupper=1"])"},
                    {"native/cpp", R"("vm_options": ["-Dnative=1"])"}})},
        {"ext/e/conf/jvm.json", R"j({"vm_options": ["-Dextension=1"], "classpath": ["d.jar"]})j"}},
       true,
       {"-Xmx2g", "--Xmx2g", "Xmx2g", "-Dcli=1", "-djava=1"},
       {"-Dhome=1", "-Dextended=1", "-Dextension=1", "-Dplatform=1", "-Xmx2g", "-Dcli=1", kRoot,
        "-Djava.class.path=../ext/e/d.jar:../ext/e/lib/./c.jar:../lib/a.jar:../lib/b.jar"}},
      {"extended mode without its file",
       {{"conf/jvm.json", R"j({"vm_options": ["-Dhome=1"]})j"}},
       true,
       {},
       {"-Dhome=1", kRoot, "-Djava.class.path="}},
      {"excludes match whole options before variables are replaced",
       {{"conf/jvm.json", R"j({
          "vm_options": ["-Dfoo=1", "x-Dfoo=1", "-Dfoobar",
                         "-Dlog=$(running.home.directory)/logs/$(running.home.directory)",
                         "-Dkeep=$(running.home.directory)"],
          "vm_options_exclude": ["-Dfoo=.*", "-Dfoo", "-Dkeep=\\$\\(running\\.home\\.directory\\)"]})j"}},
       false,
       {},
       {"x-Dfoo=1", "-Dfoobar", "-Dlog=../logs/..", kRoot, "-Djava.class.path="}},
      {"an exclude of the class path",
       {{"conf/jvm.json",
         R"j({"classpath": ["a.jar"], "vm_options_exclude": ["-Djava\\.class\\.path=.*"]})j"}},
       false,
       {},
       {kRoot}},
      {"comments and empty entries",
       {{"conf/jvm.json", R"j({"vm_options": ["#-Dhidden=1", "", "-Dvisible=#1"]})j"}},
       false,
       {},
       {"-Dvisible=#1", kRoot, "-Djava.class.path="}},
      {"an extension's own file once per Java platform",
       {{"ext/e/extension.json", Extension({{"jvm/java", ""}, {"jvm/java", ""}})},
        {"ext/e/conf/jvm.json", R"j({"vm_options": ["-Dext=1"]})j"}},
       false,
       {},
       {"-Dext=1", "-Dext=1", kRoot, "-Djava.class.path="}},
      {"extensions in folder order, depth first",
       {{"ext/b/extension.json", Extension({{"jvm/java", R"("vm_options": ["-Db"])"}})},
        {"ext/a/x/extension.json", Extension({{"jvm/java", R"("vm_options": ["-Dax"])"}})},
        {"ext/a/extension.json.txt", "not read"},
        {"ext/a/y/extension.json", Extension({{"jvm/java", R"("vm_options": ["-Day"])"}})}},
       false,
       {},
       {"-Dax", "-Day", "-Db", kRoot, "-Djava.class.path="}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root_ / "conf");
    fs::remove_all(root_ / "ext");
    fs::create_directories(root_ / "ext");
    for (const auto& [path, text] : c.files) Write(path, text);
    ZelphConfig::GetInstance()->SetExtendedMode(c.extended);
    ZelphConfig::GetInstance()->SetUnrecognizedCliArgPointers(c.arguments);
    EXPECT_EQ(Options(), c.expected);
  }
}

TEST_F(JvmOptionsTest, HomeIsJoinedToTheBinHomeFromAnotherWorkingDirectory) {
  fs::current_path(root_);
  const std::vector<std::string> options = Options();
  ASSERT_FALSE(options.empty());
  EXPECT_EQ(options.front(),
            "-Dnet.morvex.executors.root=" + (root_ / "bin" / ".." / "ext").string());
}

TEST_F(JvmOptionsTest, SymbolicLinkLoopUnderExtEnds) {
  Write("ext/e/extension.json", Extension({{"jvm/java", R"("vm_options": ["-De"])"}}));
  fs::create_directory_symlink("..", root_ / "ext" / "e" / "up");
  fs::create_directory_symlink(root_ / "ext", root_ / "ext" / "again");
  EXPECT_EQ(Options(), (std::vector<std::string>{"-De", kRoot, "-Djava.class.path="}));
}

TEST_F(JvmOptionsTest, FailuresNameTheirCause) {
  fs::remove_all(root_ / "ext");
  try {
    Options();
    ADD_FAILURE() << "no failure without ext folder";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Java extensions folder ../ext not found (absolute path: " +
                  fs::absolute("../ext").string() + ")");
  }

  struct Case {
    const char* file;
    const char* message;
  };
  const Case cases[] = {
      {"ext/e/extension.json", "Failed to parse Davodavora extension file:\n"},
      {"conf/jvm.json", "Failed to parse JVM JSON-file:\n"},
      {"ext/e/conf/jvm.json", "Failed to parse JVM JSON-file:\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    fs::remove_all(root_ / "conf");
    fs::remove_all(root_ / "ext");
    Write("ext/e/extension.json", Extension({{"jvm/java", ""}}));
    Write(c.file, "{ not json");
    try {
      Options();
      ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()),
                c.message + fs::absolute("../" + std::string(c.file)).string());
    }
  }
}

TEST_F(JvmOptionsTest, InvalidExcludePatternFailsTheList) {
  Write("conf/jvm.json", R"j({"vm_options": ["-Da"], "vm_options_exclude": ["-D(a"]})j");
  EXPECT_THROW(Options(), std::regex_error);
}

}  // namespace
