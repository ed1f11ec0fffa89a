#include "zelph/platform/crash_report.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "zelph/platform/testing/child_process.h"
#include "zelph/platform/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zelph::sys::CrashReportPath;
using zelph::sys::testing::ChildOptions;
using zelph::sys::testing::ChildProcess;
using zelph::sys::testing::ChildResult;
using zelph::sys::testing::TempFolder;

TEST(CrashReportTest, NameCarriesTheUtcTimeOfTheCrash) {
  struct Case {
    long long unix_seconds;
    const char* name;
  };
  const Case kCases[] = {
      {0, "/opt/zelph/zelph-service_19700101_000000.dmp"},
      {951868799, "/opt/zelph/zelph-service_20000229_235959.dmp"},
      {4102444800, "/opt/zelph/zelph-service_21000101_000000.dmp"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(CrashReportPath("/opt/zelph/zelph-service", c.unix_seconds), c.name);
  }
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A crashing child leaves exactly one report beside its program, named for a second of the
// run, and still dies by its signal.
TEST(CrashReportTest, CrashingChildLeavesOneReportAndDiesByItsSignal) {
  struct Case {
    const char* kind;
    int signal;
    const char* report_line;
  };
  const Case kCases[] = {
      {"segv", SIGSEGV, "Address: 0x10\n"},
      {"segv-thread", SIGSEGV, "Address: 0x10\n"},
      {"overflow", SIGSEGV, "Signal: 11 (SIGSEGV)\n"},
      {"bus", SIGBUS, "Signal: 7 (SIGBUS)\n"},
      {"ill", SIGILL, "Signal: 4 (SIGILL)\n"},
      {"abort", SIGABRT, "Signal: 6 (SIGABRT)\n"},
      {"fpe", SIGFPE, "Signal: 8 (SIGFPE)\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.kind);
    TempFolder folder;
    const fs::path program = folder.Path() / "crash_child";
    fs::copy_file(CRASH_CHILD, program);
    // The sanitizers must leave these signals to the program's own handler.
    const std::string no_sanitizer_handlers =
        "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";
    const long long started = std::chrono::duration_cast<std::chrono::seconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
    ChildOptions options(program.string(), {program.string(), c.kind});
    options.set_environment = {{"ASAN_OPTIONS", no_sanitizer_handlers},
                               {"UBSAN_OPTIONS", no_sanitizer_handlers}};
    ChildProcess child(options);
    const ChildResult result = child.Wait();
    const long long ended = std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    EXPECT_EQ(result.signal, c.signal) << result.err;

    std::vector<fs::path> reports;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path())) {
      if (entry.path() != program) reports.push_back(entry.path());
    }
    ASSERT_EQ(reports.size(), 1u);
    bool named_for_the_run = false;
    for (long long second = started; second <= ended; ++second) {
      named_for_the_run |= reports[0].string() == CrashReportPath(program.string(), second);
    }
    EXPECT_TRUE(named_for_the_run) << reports[0];

    const std::string report = ReadFile(reports[0]);
    EXPECT_NE(report.find(c.report_line), std::string::npos) << report;
    const std::string thread = std::string(c.kind) == "segv-thread"
                                   ? result.out.substr(result.out.find(' ') + 1)
                                   : std::to_string(child.Pid()) + "\n";
    EXPECT_NE(report.find("\nThread: " + thread), std::string::npos) << report;
    EXPECT_NE(report.find("\nProcess: " + std::to_string(child.Pid()) + "\n"), std::string::npos);
    const size_t backtrace = report.find("Backtrace:\n");
    ASSERT_NE(backtrace, std::string::npos) << report;
    EXPECT_GT(report.size(), backtrace + 12) << "no frame in the backtrace";
  }
}

}  // namespace
