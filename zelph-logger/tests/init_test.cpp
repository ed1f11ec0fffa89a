// Logger set-up is once per process, so every scenario runs in a forked child (a death
// test) that exits 0 when all its checks hold and names the failed check otherwise.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "zelph/logger/log.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& what) {
  std::cerr << "FAILED: " << what << std::endl;
  std::_Exit(1);
}

void Check(bool condition, const std::string& what) {
  if (!condition) Fail(what);
}

fs::path FreshTempFolder(const std::string& name) {
  fs::path folder = fs::temp_directory_path() / (name + "-" + std::to_string(getpid()));
  fs::remove_all(folder);
  return folder;
}

// "YYYY-MM-DD" of the local day `days` days before today.
std::string DaysAgo(int days) {
  const std::time_t now = std::time(nullptr);
  std::tm day{};
  localtime_r(&now, &day);
  day.tm_mday -= days;
  day.tm_isdst = -1;
  std::mktime(&day);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &day);
  return text;
}

std::string Today() { return DaysAgo(0); }

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void ConsoleOnlyByDefault() {
  testing::internal::CaptureStdout();
  InitializeSpdLogging(LogConfig());
  const std::string out = testing::internal::GetCapturedStdout();
  Check(out.find("Log file: ") == std::string::npos, "no log file line");
  Check(kConsoleLogger != nullptr, "console logger made");
  Check(kFileLogger == nullptr, "no file logger");
  Check(CheckSeverity(ZelphSeverityLevel::kError), "error passes");
  Check(!CheckSeverity(ZelphSeverityLevel::kWarning), "warning is gated");
  std::_Exit(0);
}

void FileLoggerWithFolderVariable() {
  const fs::path folder = FreshTempFolder("zelph-log");
  setenv("TMPDIR", folder.parent_path().c_str(), 1);
  LogConfig config;
  config.SetSink("FileText,Console");
  config.SetFile("$(temp)" + folder.filename().string() + "/sub/x.log");
  config.SetLogFormat("%l|%v");
  config.SetSeverity(ZelphSeverityLevel::kInfo);
  testing::internal::CaptureStdout();
  InitializeSpdLogging(config);
  const std::string out = testing::internal::GetCapturedStdout();
  // The line names the file written, not the configured name it stands for.
  const fs::path dated = folder / "sub" / ("x_" + Today() + ".log");
  Check(out == "Log file: " + dated.string() + "\n", "log file line: " + out);
  Check(kFileLogger && kConsoleLogger, "both loggers made");
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "hello {}", 7);
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "hidden");
  Check(ReadAll(dated) == "info|hello 7\n", "file content: " + ReadAll(dated));
  ReleaseSpdLogging();
  Check(ReadAll(dated) == "info|hello 7\ninfo|Release file logging\n", "release line");
  for (int level = -1; level <= 7; ++level) {
    Check(!CheckSeverity(static_cast<ZelphSeverityLevel>(level)), "released gate");
  }
  fs::remove_all(folder);
  std::_Exit(0);
}

void UnknownVariableStaysLiteral() {
  const fs::path folder = FreshTempFolder("zelph-literal");
  fs::create_directories(folder);
  fs::current_path(folder);
  LogConfig config;
  config.SetSink("FileText");
  config.SetFile("$(tmep)/y.log");
  testing::internal::CaptureStdout();
  InitializeSpdLogging(config);
  testing::internal::GetCapturedStdout();
  Check(fs::is_directory(folder / "$(tmep)"), "literal folder created");
  fs::remove_all(folder);
  std::_Exit(0);
}

// Each folder variable resolves from the environment; the log file lands below it.
void FolderVariableResolves(const std::string& variable) {
  const fs::path home = FreshTempFolder("zelph-home");
  fs::create_directories(home);
  setenv("HOME", home.c_str(), 1);
  setenv("TMPDIR", home.c_str(), 1);
  unsetenv("XDG_DOCUMENTS_DIR");
  const std::string dated = "v_" + Today() + ".log";
  const std::map<std::string, fs::path> expected = {
      {"$(temp)", home / "logs" / dated},
      {"$(user.home)", home / "logs" / dated},
      {"$(user.documents)", home / "Documents/logs" / dated},
  };
  LogConfig config;
  config.SetSink("FileText");
  config.SetFile(variable + (variable == "$(temp)" ? "" : "/") + "logs/v.log");
  testing::internal::CaptureStdout();
  InitializeSpdLogging(config);
  const std::string out = testing::internal::GetCapturedStdout();
  const fs::path file = expected.at(variable);
  Check(out == "Log file: " + file.string() + "\n", "log file line: " + out);
  Check(fs::is_directory(file.parent_path()), "folder created");
  fs::remove_all(home);
  std::_Exit(0);
}

// The file logger keeps the daily files of the last `days_kept` days, today's among them, and
// leaves every other file of the folder alone.
void OldLogFilesGo(int days_kept, const std::set<std::string>& expected) {
  const fs::path folder = FreshTempFolder("zelph-retention");
  fs::create_directories(folder / ("x_" + DaysAgo(9) + ".log"));  // a folder, not a log
  for (const std::string& name : std::vector<std::string>{
           "x_" + DaysAgo(1) + ".log", "x_" + DaysAgo(2) + ".log", "x_" + DaysAgo(3) + ".log",
           "x_" + DaysAgo(400) + ".log", "y_" + DaysAgo(400) + ".log", "x_" + DaysAgo(400) + ".txt",
           "x_" + DaysAgo(400) + ".log.1", "x_2000-1-011.log", "x_.log", "notes"}) {
    std::ofstream(folder / name) << "old\n";
  }
  LogConfig config;
  config.SetSink("FileText");
  config.SetFile((folder / "x.log").string());
  config.SetDaysKept(days_kept);
  testing::internal::CaptureStdout();
  InitializeSpdLogging(config);
  testing::internal::GetCapturedStdout();
  std::set<std::string> left;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    left.insert(entry.path().filename().string());
  }
  std::string names;
  for (const std::string& name : left) names += name + " ";
  Check(left == expected, "files left: " + names);
  fs::remove_all(folder);
  std::_Exit(0);
}

void SinkWithoutKnownWordMakesNoLogger() {
  LogConfig config;
  config.SetSink("Syslog");
  InitializeSpdLogging(config);
  Check(kFileLogger == nullptr && kConsoleLogger == nullptr, "no logger");
  Check(!CheckSeverity(ZelphSeverityLevel::kCritical), "everything dropped");
  std::_Exit(0);
}

void SecondInitialisationIsRefused() {
  InitializeSpdLogging(LogConfig());
  auto first = kConsoleLogger;
  LogConfig file_config;
  file_config.SetSink("FileText");
  InitializeSpdLogging(file_config);
  Check(kConsoleLogger == first && kFileLogger == nullptr, "first loggers kept");
  ReleaseSpdLogging();
  InitializeSpdLogging(LogConfig());
  Check(kConsoleLogger == nullptr, "no logger after release");
  std::_Exit(0);
}

void UnwritableFileThrows() {
  LogConfig config;
  config.SetSink("FileText,Console");
  config.SetFile("/proc/zelph-cannot-write/z.log");
  try {
    testing::internal::CaptureStdout();
    InitializeSpdLogging(config);
    Fail("no exception");
  } catch (const std::exception&) {
  }
  testing::internal::GetCapturedStdout();
  Check(kFileLogger == nullptr && kConsoleLogger == nullptr, "no logger made");
  std::_Exit(0);
}

TEST(LoggerInitTest, ConsoleOnlyByDefault) {
  EXPECT_EXIT(ConsoleOnlyByDefault(), testing::ExitedWithCode(0), "");
}
TEST(LoggerInitTest, FileLoggerWithFolderVariable) {
  EXPECT_EXIT(FileLoggerWithFolderVariable(), testing::ExitedWithCode(0), "");
}
TEST(LoggerInitTest, UnknownVariableStaysLiteral) {
  EXPECT_EXIT(UnknownVariableStaysLiteral(), testing::ExitedWithCode(0), "");
}
TEST(LoggerInitTest, FolderVariablesResolve) {
  for (const char* variable : {"$(temp)", "$(user.home)", "$(user.documents)"}) {
    EXPECT_EXIT(FolderVariableResolves(variable), testing::ExitedWithCode(0), "") << variable;
  }
}
TEST(LoggerInitTest, DaysKeptBoundTheDailyFiles) {
  const std::set<std::string> others = {"x_" + DaysAgo(9) + ".log",
                                        "y_" + DaysAgo(400) + ".log",
                                        "x_" + DaysAgo(400) + ".txt",
                                        "x_" + DaysAgo(400) + ".log.1",
                                        "x_2000-1-011.log",
                                        "x_.log",
                                        "notes"};
  auto with = [&others](std::initializer_list<int> days_ago) {
    std::set<std::string> names = others;
    for (int days : days_ago) names.insert("x_" + DaysAgo(days) + ".log");
    return names;
  };
  struct Case {
    int days_kept;
    std::set<std::string> left;
  };
  const Case kCases[] = {
      {0, with({0, 1, 2, 3, 400})},   {1, with({0})},
      {3, with({0, 1, 2})},           {400, with({0, 1, 2, 3})},
      {401, with({0, 1, 2, 3, 400})},
  };
  for (const Case& c : kCases) {
    EXPECT_EXIT(OldLogFilesGo(c.days_kept, c.left), testing::ExitedWithCode(0), "") << c.days_kept;
  }
}
TEST(LoggerInitTest, SinkWithoutKnownWordMakesNoLogger) {
  EXPECT_EXIT(SinkWithoutKnownWordMakesNoLogger(), testing::ExitedWithCode(0), "");
}
TEST(LoggerInitTest, SecondInitialisationIsRefused) {
  EXPECT_EXIT(SecondInitialisationIsRefused(), testing::ExitedWithCode(0),
              "Prevent attempt to initialize logging second time");
}
TEST(LoggerInitTest, UnwritableFileThrowsAndMakesNoConsoleLogger) {
  EXPECT_EXIT(UnwritableFileThrows(), testing::ExitedWithCode(0), "");
}

}  // namespace
