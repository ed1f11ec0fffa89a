// Process tests of the program's start-up: the command line, the configuration, extension
// loading, crash reports and the install-folder check, each run of zelph-service from a
// temporary installation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "zelph/testing/program_installation.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

namespace fs = std::filesystem;
using zelph::testing::ChildResult;
using zelph::testing::ProgramInstallation;

constexpr const char* kNativeExtension =
    R"({"app": "executors-extension", "platforms": [{"technology": "native", "language": "cpp"}]})";

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

// What a command line or a configuration leads to: exit code, texts on standard error (the
// failure, then the message box's "Error: " line) and on standard output.
TEST(StartupTest, CommandLineAndConfigurationOutcomes) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string argv0;   // the program path when empty
    std::string config;  // the installation's own (severity error) when empty
    int exit_code;
    std::vector<std::string> err_parts;
    std::vector<std::string> out_parts;
    bool serves = false;  // started until it listens, then stopped by SIGINT
  };
  ProgramInstallation installation;
  const std::string bin = installation.Bin().string();
  const std::string broken = "{\"server\": [";
  const Case kCases[] = {
      {"help", {"-x", "--help", "--config=missing.json"}, "", "", 0, {}, {}},
      {"bad value before help",
       {"-h", "--server=maybe"},
       "",
       "",
       1,
       {"the argument ('maybe') for option '--server' is invalid"},
       {}},
      {"argv[0] without a folder",
       {},
       "zelph-service",
       "",
       1,
       {"Failed change current working dir to: '', error: 2\n",
        "Error: Failed change current working dir to: '', error: 2\n"},
       {}},
      {"missing configuration",
       {"--config=missing.json"},
       "",
       "",
       1,
       {"argument '--config' should locate to existing zelph configuration\n",
        "Error: argument '--config' should locate to existing zelph configuration\n"},
       {"Setting current OS directory to " + bin + "\n"}},
      {"broken configuration",
       {},
       "",
       broken,
       1,
       {"Can't load zelph configuration zelph_home: " + bin + ", config: config.json\n",
        "Error: Can't load zelph configuration"},
       {}},
      {"server bound out of range",
       {},
       "",
       installation.Config("error", R"("max_handler_threads": 0)"),
       1,
       {"Invalid configuration: \"server\": \"max_handler_threads\" must be a whole number "
        "from 1 to 100000, not 0\n"},
       {}},
      {"test folder missing",
       {"--test=nowhere"},
       "",
       "",
       1,
       {"argument '--test' should be point to existing folder with tests or empty\n"},
       {}},
      {"home without the program",
       {"--home=/"},
       "",
       "",
       1,
       {"argument '--home' should locate to actually zelph home folder (folder with "
        "\"zelph-service\")\n"},
       {}},
      {"chain missing",
       {"--chain=none.json"},
       "",
       "",
       1,
       {"error in argument '--chain': chain not found.\n"},
       {}},
      {"empty value delimiter",
       {"--v_delimiter", ""},
       "",
       "",
       1,
       {"--v_delimiter can't be empty\n"},
       {}},
      {"params without a pair",
       {"--params=a=1=2"},
       "",
       "",
       1,
       {"--params should be formatter as key1=value1;key2=value2 format\n"},
       {}},
      {"serves with pass-through arguments",
       {"--jdk=", "--python=", "-Xmx16g", "-Dpython.home=x", "--ext", "pos"},
       "",
       installation.Config("info"),
       0,
       {"[info] Server starts listening on " + installation.Address() + "\n"},
       {"Setting current OS directory to " + bin + "\n",
        "Custom JDK (Java Developer Kit): \"\"\n"
        "Custom Python installation: \"\"\n"
        "Additional command-line parameters:\n"
        "  \"-Dpython.home=\" (added automatically based on \"--python\")\n"
        "  \"--jdk\"\n"
        "  \"--python\"\n"
        "  \"-Xmx16g\"\n"
        "  \"--ext\"\n"
        "  \"pos\"\n",
        "The local time is: "},
       true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    installation.WriteConfig(c.config.empty() ? installation.Config() : c.config);
    const ChildResult result =
        c.serves ? installation.ServeAndStop(c.arguments) : installation.Run(c.arguments, c.argv0);
    EXPECT_TRUE(result.exited) << result.signal;
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    for (const std::string& part : c.err_parts) EXPECT_THAT(result.err, HasSubstr(part));
    for (const std::string& part : c.out_parts) EXPECT_THAT(result.out, HasSubstr(part));
    if (std::string(c.name) == "help") {
      EXPECT_EQ(result.out, kUsage);
    }
    if (c.exit_code != 0) {
      EXPECT_THAT(result.err, Not(HasSubstr("\n\n"))) << "no failure reason is recorded that early";
    }
  }
}

// With the debug option the logger's settings are printed and its severity drops to debug.
TEST(StartupTest, DebugOptionPrintsTheLoggerSettingsAndLowersTheSeverity) {
  ProgramInstallation installation;
  // Port 0 is refused after the extensions have loaded: the program ends by itself.
  installation.WriteConfig(
      R"({"server": {"host": "127.0.0.1", "port": 0, "log": {"severity": "error", "sink": "Console"}}})");
  installation.AddExtension("plugins/alpha", kNativeExtension, RECORDING_PLUGIN);
  const ChildResult plain = installation.Run({});
  EXPECT_THAT(plain.err, Not(HasSubstr("~~DEBUG~~")));
  EXPECT_THAT(plain.err, Not(HasSubstr("Read extension. file: ")));

  const ChildResult debug = installation.Run({"--debug"});
  EXPECT_EQ(debug.exit_code, 1) << debug.err;
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
  EXPECT_THAT(debug.err, HasSubstr("[debug] Read extension. file: " + installation.Bin().string() +
                                   "/plugins/alpha/extension.json\n"));
  EXPECT_THAT(debug.err, HasSubstr("~~DEBUG~~ handle exception: Can't build and start server"));
}

TEST(StartupTest, ExtensionsLoadFromPluginsThenExtAtAnyDepth) {
  ProgramInstallation installation;
  installation.WriteConfig(installation.Config("info"));
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

  const ChildResult result = installation.ServeAndStop({});
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
  ProgramInstallation installation;
  installation.WriteConfig(installation.Config("info"));
  installation.Write("sub/zelph-service", "");
  installation.AddExtension("sub/plugins/alpha", kNativeExtension, RECORDING_PLUGIN);
  const ChildResult result = installation.ServeAndStop({"--home=sub"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_THAT(result.out,
              HasSubstr("LoadModels " + installation.Bin().string() + "/sub/plugins/alpha\n"));
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
    ProgramInstallation installation;
    installation.WriteConfig(
        installation.Config("info", std::string(R"("initialization": {"ignore_ext_init_error": )") +
                                        (c.ignore_extension_errors ? "true" : "false") +
                                        R"(}, "exception": {"show_message_box_on_exit": )" +
                                        (c.show_message_box ? "true" : "false") + "}"));
    installation.AddExtension(c.folder, c.description, c.library ? c.library : "");
    installation.AddExtension("ext/beta", kNativeExtension, RECORDING_PLUGIN);
    const ChildResult result =
        c.exit_code == 0 ? installation.ServeAndStop({}) : installation.Run({});
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    const std::string bin = installation.Bin().string();
    auto expand = [&bin](std::string text) {
      for (size_t at; (at = text.find("{bin}")) != std::string::npos;) text.replace(at, 5, bin);
      return text;
    };
    for (const std::string& part : c.err_parts) {
      EXPECT_THAT(result.err, HasSubstr(expand(part))) << expand(part) << "\nin:\n" << result.err;
    }
    for (const std::string& part : c.absent_err_parts) {
      EXPECT_THAT(result.err + result.out, Not(HasSubstr(part))) << part;
    }
  }
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A plug-in crash leaves one report, in the configured folder or else beside the program,
// that names the fault, its address and the program's functions on the stack, also when the
// Java VM runs beside the plug-in and handles the crash after the program's handler: the
// fault comes back to the VM as a fault, so its own error log, written beside the report
// whatever the VM's working folder allows, names the address too, and it ends the process
// its own way.
TEST(StartupTest, CrashInAPluginLeavesOneReportOfTheFault) {
  struct Case {
    const char* name;
    ProgramInstallation::Plugins plugins;
    std::string crash_reports;  // the configured value, "{home}" for the installation's home
    const char* report_folder;  // below the home
    std::vector<int> signals;   // any of them may end the process
    const char* warning;
    const char* vm_log_line;  // in the Java VM's error log beside the report
    bool read_only_program_folder = false;
  };
  const Case kCases[] = {
      {"beside the program", ProgramInstallation::kNoPlugins, "", "bin", {SIGSEGV}, "", ""},
      {"beside the Java VM",
       ProgramInstallation::kWithJava,
       "",
       "bin",
       {SIGSEGV, SIGABRT},
       "",
       "si_addr: 0x0000000000000010"},
      {"beside the Java VM, read-only program folder",
       ProgramInstallation::kWithJava,
       "{home}/var/crash",
       "var/crash",
       {SIGSEGV, SIGABRT},
       "",
       "si_addr: 0x0000000000000010",
       true},
      {"relative folder made",
       ProgramInstallation::kNoPlugins,
       "crashes/zelph",
       "bin/crashes/zelph",
       {SIGSEGV},
       "",
       ""},
      {"absolute folder",
       ProgramInstallation::kNoPlugins,
       "{home}/var/crash",
       "var/crash",
       {SIGSEGV},
       "",
       ""},
      {"folder that cannot be made",
       ProgramInstallation::kNoPlugins,
       "zelph-service/crashes",
       "bin",
       {SIGSEGV},
       "[warning] Crash reports stay beside the program, folder '{home}/bin/zelph-service/crashes' "
       "can't be used: Not a directory\n",
       ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ProgramInstallation installation(c.plugins);
    const std::string home = installation.Home().string();
    auto expand = [&home](std::string text) {
      for (size_t at; (at = text.find("{home}")) != std::string::npos;) text.replace(at, 6, home);
      return text;
    };
    if (!c.crash_reports.empty()) {
      installation.WriteConfig(
          installation.Config("info", R"("crash_reports": ")" + expand(c.crash_reports) + "\""));
    }
    // ext/ is read after plugins/: the Java VM runs by the time the plug-in crashes.
    installation.AddExtension("ext/crashing", kNativeExtension, CRASHING_PLUGIN);
    if (c.read_only_program_folder) installation.MakeProgramFolderReadOnly();
    const ChildResult result = installation.Run({});
    EXPECT_FALSE(result.timed_out);
    EXPECT_NE(std::find(c.signals.begin(), c.signals.end(), result.signal), c.signals.end())
        << "ended by " << result.signal << ", exit code " << result.exit_code << "\n"
        << result.err;
    EXPECT_THAT(result.err, HasSubstr(expand(c.warning))) << result.err;

    std::vector<fs::path> reports;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(installation.Home())) {
      if (entry.path().extension() == ".dmp") reports.push_back(entry.path());
    }
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].parent_path(), installation.Home() / c.report_folder);
    // "zelph-service_YYYYMMDD_HHMMSS.dmp"
    const std::string name = reports[0].filename().string();
    ASSERT_EQ(name.size(), std::string("zelph-service_20240101_120000.dmp").size()) << name;
    EXPECT_TRUE(name.starts_with("zelph-service_") && name.ends_with(".dmp")) << name;
    const std::string stamp = name.substr(14, 15);
    EXPECT_EQ(stamp.find_first_not_of("0123456789_"), std::string::npos) << name;
    EXPECT_EQ(stamp[8], '_') << name;

    const std::string report = ReadFile(reports[0]);
    EXPECT_THAT(report, HasSubstr("\nSignal: 11 (SIGSEGV)\n")) << report;
    EXPECT_THAT(report, HasSubstr("\nAddress: 0x10\n")) << report;
    // The program exports none of its functions; the kept symbol table names them.
    EXPECT_THAT(report, HasSubstr(installation.Program().string() + "(main+0x")) << report;
    EXPECT_THAT(report, HasSubstr(installation.Program().string() + "(_ZN5zelph4host")) << report;

    if (*c.vm_log_line != '\0') {
      std::string vm_logs;
      for (const fs::directory_entry& entry :
           fs::directory_iterator(installation.Home() / c.report_folder)) {
        if (entry.path().filename().string().starts_with("hs_err_pid")) {
          vm_logs += ReadFile(entry.path());
        }
      }
      EXPECT_THAT(vm_logs, HasSubstr(c.vm_log_line)) << vm_logs.substr(0, 4000);
    }
  }
}

// The folder check comes first: not even the usage is printed from such a folder.
TEST(StartupTest, ProgramPathThatIsNotUtf8IsRefused) {
  ProgramInstallation installation(ProgramInstallation::kNoPlugins, "bin\xFF\xFE");
  const ChildResult result = installation.Run({"--help"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out, "");
  const std::string message =
      "Davodavora is located in an invalid folder:\nthe path\n\n" +
      installation.Program().string() +
      "\n\ncontains UniCode characters that cannot be represented\nin the current OS language.\n"
      "Please reinstall Davodavora to another folder,\nfor example to a subfolder of the "
      "filesystem root /";
  EXPECT_THAT(result.err, HasSubstr(message + "\n"));
  EXPECT_THAT(result.err, HasSubstr("Cannot start Davodavora server: " + message + "\n"));
}

}  // namespace
