// Process tests of the start-up steps: the probe program runs them in the program's order
// from a temporary installation, as "zelph-service" in its "bin" folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "zelph/platform/testing/child_process.h"
#include "zelph/platform/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zelph::sys::testing::ChildOptions;
using zelph::sys::testing::ChildResult;
using zelph::sys::testing::RunChild;
using zelph::sys::testing::TempFolder;

constexpr const char* kQuietConfig =
    R"({"server": {"log": {"severity": "error", "sink": "Console"}}})";
constexpr const char* kNativeExtension =
    R"({"app": "executors-extension", "platforms": [{"technology": "native", "language": "cpp"}]})";

class Installation {
 public:
  explicit Installation(const std::string& bin_name = "bin") : bin_(folder_.Path() / bin_name) {
    fs::create_directories(bin_);
    fs::copy_file(STARTUP_PROBE, Program());
    WriteConfig(kQuietConfig);
  }

  const fs::path& Bin() const { return bin_; }
  fs::path Program() const { return bin_ / "zelph-service"; }

  void WriteConfig(const std::string& json) const { Write("config.json", json); }
  void Write(const fs::path& relative, const std::string& content) const {
    fs::create_directories((bin_ / relative).parent_path());
    std::ofstream(bin_ / relative, std::ios::binary) << content;
  }
  // An extension folder below the bin folder with its description and, when given, the
  // plug-in library under the folder's name.
  void AddExtension(const fs::path& relative, const std::string& description,
                    const char* library = nullptr) const {
    Write(relative / "extension.json", description);
    if (library != nullptr) {
      fs::copy_file(library, bin_ / relative / (relative.filename().string() + ".so"));
    }
  }

  ChildResult Run(std::vector<std::string> arguments, const std::string& argv0 = "") const {
    arguments.insert(arguments.begin(), argv0.empty() ? Program().string() : argv0);
    ChildOptions options(Program().string(), arguments);
    const std::string no_sanitizer_handlers = "handle_segv=0:handle_abort=0";
    options.set_environment = {{"ASAN_OPTIONS", no_sanitizer_handlers}};
    return RunChild(options);
  }

 private:
  TempFolder folder_;
  fs::path bin_;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

constexpr const char* kUsage =
    "Davodavora server:\n"
    "  -h or --help                show this help\n"
    "  -x or --extended            enable extended mode (\"conf/jvm.extended.json\" will be used "
    "instead of \"conf/jvm.json\")\n"
    "  --debug                     debug flag: writing additional diagnostic information\n"
    "  --home=path                 Davodavora home folder [default: current working directory]\n"
    "  --config=path               path to the configuration JSON file [default: "
    "\"config.json\"]\n"
    "  --jdk=path                  path to the JDK home folder [default: \"../jdk\"]\n"
    "  --python=path or --python=  path to the Python installation folder; empty value forces "
    "using PYTHONHOME environment variable\n"
    "  -D<name>=<value>            set Java system property, for example: "
    "-Djava.util.logging.config.file=your_logging.properties\n"
    "  -X...                       set Java extended options, for example: -Xmx16g (set maximum "
    "Java heap size to 16 GB)\n";

TEST(StartupTest, CommandLineAndConfigurationOutcomes) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string argv0;  // the program path when empty
    const char* config;
    int exit_code;
    std::vector<std::string> err_parts;
    std::vector<std::string> out_parts;
  };
  Installation installation;
  const std::string bin = installation.Bin().string();
  const Case kCases[] = {
      {"help", {"-x", "--help", "--config=missing.json"}, "", kQuietConfig, 0, {}, {}},
      {"bad value before help",
       {"-h", "--server=maybe"},
       "",
       kQuietConfig,
       1,
       {"the argument ('maybe') for option '--server' is invalid"},
       {}},
      {"argv[0] without a folder",
       {},
       "zelph-service",
       kQuietConfig,
       1,
       {"Failed change current working dir to: '', error: 2\n",
        "Error: Failed change current working dir to: '', error: 2\n"},
       {}},
      {"missing configuration",
       {"--config=missing.json"},
       "",
       kQuietConfig,
       1,
       {"argument '--config' should locate to existing zelph configuration\n",
        "Error: argument '--config' should locate to existing zelph configuration\n"},
       {"Setting current OS directory to " + bin + "\n"}},
      {"broken configuration",
       {},
       "",
       "{\"server\": [",
       1,
       {"Can't load zelph configuration zelph_home: " + bin + ", config: config.json\n",
        "Error: Can't load zelph configuration"},
       {}},
      {"started",
       {"-Xmx1g"},
       "",
       kQuietConfig,
       0,
       {},
       {"Setting current OS directory to " + bin + "\n", "  \"-Xmx1g\"\n", "start-up done\n"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    installation.WriteConfig(c.config);
    const ChildResult result = installation.Run(c.arguments, c.argv0);
    EXPECT_TRUE(result.exited) << result.signal;
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    for (const std::string& part : c.err_parts)
      EXPECT_TRUE(Contains(result.err, part)) << result.err;
    for (const std::string& part : c.out_parts)
      EXPECT_TRUE(Contains(result.out, part)) << result.out;
    if (std::string(c.name) == "help") {
      EXPECT_EQ(result.out, kUsage);
    }
    if (c.exit_code != 0) {
      EXPECT_FALSE(Contains(result.err, "\n\n")) << "no failure reason is recorded that early";
    }
  }
}

// With the debug option the logger's settings are printed and its severity drops to debug.
TEST(StartupTest, DebugOptionPrintsTheLoggerSettingsAndLowersTheSeverity) {
  Installation installation;
  const ChildResult plain = installation.Run({});
  EXPECT_FALSE(Contains(plain.err, "~~DEBUG~~"));
  EXPECT_FALSE(Contains(plain.err, "debug logging on"));

  const ChildResult debug = installation.Run({"--debug"});
  EXPECT_EQ(debug.exit_code, 0) << debug.err;
  const std::string settings =
      "~~DEBUG~~ Initializing logger...\n"
      "~~DEBUG~~   Log sink: Console\n"
      "~~DEBUG~~   Log file name: log_%N.log\n"
      "~~DEBUG~~   Log severity: 4\n"
      "~~DEBUG~~   Log format: \n";
  const size_t settings_at = debug.err.find(settings);
  ASSERT_NE(settings_at, std::string::npos) << debug.err;
  EXPECT_NE(debug.err.find("~~DEBUG~~ Logger initialized\n", settings_at), std::string::npos);
  EXPECT_EQ(debug.err.find("~~DEBUG~~"), debug.err.find("~~DEBUG~~ Initializing logger..."))
      << "no debug line before the logger's";
  EXPECT_TRUE(Contains(debug.err, "[debug] debug logging on")) << debug.err;
}

TEST(StartupTest, ExtensionsLoadFromPluginsThenExtAtAnyDepth) {
  Installation installation;
  installation.AddExtension(
      "plugins/vendor/alpha",
      R"({"app": "executors-extension", "platforms": [)"
      R"({"technology": "native", "language": "cpp"}, {"technology": "java", "language": "java"},)"
      R"({"technology": "native", "language": "cpp"}]})",
      RECORDING_PLUGIN);
  installation.AddExtension("ext/beta", kNativeExtension, RECORDING_PLUGIN);
  installation.AddExtension(
      "plugins/javaonly",
      R"({"app": "executors-extension", "platforms": [{"technology": "java", "language": "cpp"}]})",
      RECORDING_PLUGIN);
  installation.Write("plugins/other/Extension.JSON", kNativeExtension);
  fs::copy_file(RECORDING_PLUGIN, installation.Bin() / "plugins/other/other.so");

  const ChildResult result = installation.Run({});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  const std::string bin = installation.Bin().string();
  // One load per native C++ platform, each timed: the folder with two loads twice.
  std::string loads;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("LoadModels ")) loads += line + "\n";
    if (line.starts_with("[PROFILE] Load extension: ")) loads += "timed\n";
  }
  EXPECT_EQ(loads, "LoadModels " + bin + "/plugins/vendor/alpha\ntimed\n" + "LoadModels " + bin +
                       "/plugins/vendor/alpha\ntimed\n" + "LoadModels " + bin +
                       "/ext/beta\ntimed\n")
      << result.out;
}

// A relative home stays relative; its plug-ins still load from where they were found.
TEST(StartupTest, ExtensionsOfARelativeHomeLoad) {
  Installation installation;
  installation.Write("sub/zelph-service", "");
  installation.AddExtension("sub/plugins/alpha", kNativeExtension, RECORDING_PLUGIN);
  const ChildResult result = installation.Run({"--home=sub"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_TRUE(
      Contains(result.out, "LoadModels " + installation.Bin().string() + "/sub/plugins/alpha\n"))
      << result.out;
}

TEST(StartupTest, ExtensionFailures) {
  struct Case {
    const char* name;
    bool ignore_extension_errors;
    bool show_message_box;
    const char* folder;
    const char* description;
    const char* library;
    int exit_code;
    std::vector<std::string> err_parts;  // "{bin}" stands for the bin folder
    std::vector<std::string> absent_err_parts;
  };
  const Case kCases[] = {
      {"broken description",
       false,
       true,
       "plugins/bad",
       "{\"app\": ",
       nullptr,
       1,
       {"Failed parse extension file: {bin}/plugins/bad/extension.json\n"},
       {"LoadModels"}},
      {"broken description ignored",
       true,
       true,
       "plugins/bad",
       "{\"app\": ",
       nullptr,
       0,
       {"[error] Failed parse extension file: {bin}/plugins/bad/extension.json\n"},
       {}},
      {"failing plug-in",
       false,
       true,
       "plugins/failing",
       kNativeExtension,
       FAILING_PLUGIN,
       1,
       {"Failed load plugin: {bin}/plugins/failing, rc: 1\n\nCannot initialize Davodavora "
        "plugin:\n{bin}/plugins/failing\n",
        "Error: Cannot initialize Davodavora plugin:\n{bin}/plugins/failing\n"},
       {}},
      // The plug-in manager skips a failing plug-in when extension errors are ignored.
      {"failing plug-in, errors ignored",
       true,
       true,
       "plugins/failing",
       kNativeExtension,
       FAILING_PLUGIN,
       0,
       {"[error] Cannot initialize '{bin}/plugins/failing/failing.so'\n"},
       {"Failed load plugin"}},
      {"failing plug-in without message box",
       false,
       false,
       "plugins/failing",
       kNativeExtension,
       FAILING_PLUGIN,
       1,
       {"Failed load plugin: {bin}/plugins/failing, rc: 1\n"},
       {"Error: "}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Installation installation;
    installation.WriteConfig(
        std::string(R"({"server": {"log": {"severity": "error", "sink": "Console"},)") +
        R"("initialization": {"ignore_ext_init_error": )" +
        (c.ignore_extension_errors ? "true" : "false") + R"(},)" +
        R"("exception": {"show_message_box_on_exit": )" + (c.show_message_box ? "true" : "false") +
        "}}}");
    installation.AddExtension(c.folder, c.description, c.library);
    installation.AddExtension("ext/beta", kNativeExtension, RECORDING_PLUGIN);
    const ChildResult result = installation.Run({});
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    const std::string bin = installation.Bin().string();
    auto expand = [&bin](std::string text) {
      for (size_t at; (at = text.find("{bin}")) != std::string::npos;) text.replace(at, 5, bin);
      return text;
    };
    for (const std::string& part : c.err_parts) {
      EXPECT_TRUE(Contains(result.err, expand(part))) << expand(part) << "\nin:\n" << result.err;
    }
    for (const std::string& part : c.absent_err_parts) {
      EXPECT_FALSE(Contains(result.err + result.out, part)) << part;
    }
  }
}

TEST(StartupTest, CrashInAPluginLeavesAReportBesideTheProgram) {
  Installation installation;
  installation.AddExtension("plugins/crashing", kNativeExtension, CRASHING_PLUGIN);
  const ChildResult result = installation.Run({});
  EXPECT_EQ(result.signal, SIGSEGV) << result.err;
  std::vector<std::string> reports;
  for (const fs::directory_entry& entry : fs::directory_iterator(installation.Bin())) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".dmp")) reports.push_back(name);
  }
  ASSERT_EQ(reports.size(), 1u);
  // "zelph-service_YYYYMMDD_HHMMSS.dmp"
  const std::string& name = reports[0];
  ASSERT_EQ(name.size(), std::string("zelph-service_20240101_120000.dmp").size()) << name;
  EXPECT_TRUE(name.starts_with("zelph-service_") && name.ends_with(".dmp")) << name;
  const std::string stamp = name.substr(14, 15);
  EXPECT_EQ(stamp.find_first_not_of("0123456789_"), std::string::npos) << name;
  EXPECT_EQ(stamp[8], '_') << name;
}

// The folder check comes first: not even the usage is printed from such a folder.
TEST(StartupTest, ProgramPathThatIsNotUtf8IsRefused) {
  Installation installation("bin\xFF\xFE");
  const ChildResult result = installation.Run({"--help"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  const std::string message =
      "Davodavora is located in an invalid folder:\nthe path\n\n" +
      installation.Program().string() +
      "\n\ncontains UniCode characters that cannot be represented\nin the current OS language.\n"
      "Please reinstall Davodavora to another folder,\nfor example to a subfolder of the "
      "filesystem root /";
  EXPECT_TRUE(Contains(result.err, message + "\n")) << result.err;
  EXPECT_TRUE(Contains(result.err, "Cannot start Davodavora server: " + message + "\n"));
}

}  // namespace
