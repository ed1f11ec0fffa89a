#include "zelph/platform/crash_report.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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

// The stamp of `report` is a second between `started` and `ended` when its path is
// CrashReportPath(`prefix`, that second).
bool NamedForTheRun(const fs::path& report, const fs::path& prefix, long long started,
                    long long ended) {
  for (long long second = started; second <= ended; ++second) {
    if (report.string() == CrashReportPath(prefix.string(), second)) return true;
  }
  return false;
}

long long UnixSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The reports in `folder` and below.
std::vector<fs::path> ReportsIn(const fs::path& folder) {
  std::vector<fs::path> reports;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().extension() == ".dmp") reports.push_back(entry.path());
  }
  return reports;
}

// crash_child copied into a fresh folder and run to its end, crashing as `kind` says, with
// its reports sent to each of `report_folders` (below that folder) in turn; "remove" removes
// the folder set last again.
class CrashingChild {
 public:
  // `report_folders` are below the child's folder; `arguments` follow them as given.
  explicit CrashingChild(const std::string& kind,
                         const std::vector<std::string>& report_folders = {},
                         const std::vector<std::string>& arguments = {})
      : program_(folder_.Path() / "crash_child") {
    fs::copy_file(CRASH_CHILD, program_);
    std::vector<std::string> argv{program_.string(), kind};
    for (const std::string& folder : report_folders) {
      argv.push_back(folder == "remove" ? folder : (folder_.Path() / folder).string());
    }
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    // The sanitizers must leave these signals to the program's own handler.
    const std::string no_sanitizer_handlers =
        "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";
    ChildOptions options(program_.string(), argv);
    options.set_environment = {{"ASAN_OPTIONS", no_sanitizer_handlers},
                               {"UBSAN_OPTIONS", no_sanitizer_handlers}};
    started_ = UnixSeconds();
    child_ = std::make_unique<ChildProcess>(options);
    result_ = child_->Wait();
    ended_ = UnixSeconds();
  }

  const fs::path& Folder() const { return folder_.Path(); }
  const fs::path& Program() const { return program_; }
  pid_t Pid() const { return child_->Pid(); }
  const ChildResult& Result() const { return result_; }
  // Whether `report` is named after the program in `folder` for a second of the run.
  bool NamedForTheRun(const fs::path& report, const fs::path& folder) const {
    return ::NamedForTheRun(report, folder / program_.filename(), started_, ended_);
  }

 private:
  TempFolder folder_;
  fs::path program_;
  long long started_ = 0;
  long long ended_ = 0;
  std::unique_ptr<ChildProcess> child_;
  ChildResult result_;
};

// A crashing child leaves exactly one report beside its program, named for a second of the
// run, and still dies by its signal. The first signal owns the report: a runtime that
// chained to the handler and aborts when the fault comes back leaves the fault's report, and
// sees the fault itself come back rather than a signal the handler sent.
TEST(CrashReportTest, CrashingChildLeavesOneReportAndDiesByItsSignal) {
  enum Thread { kMain, kPrinted };
  struct Case {
    const char* kind;
    int signal;
    std::vector<std::string> report_lines;
    Thread thread;
    const char* error_line;
    // A function of the program on the crashing thread's stack, mangled; the program exports
    // none of them, so only the symbol table the file keeps names it.
    const char* function = "main";
  };
  const Case kCases[] = {
      {"segv", SIGSEGV, {"Signal: 11 (SIGSEGV)\n", "Address: 0x10\n"}, kMain, ""},
      {"segv-thread",
       SIGSEGV,
       {"Address: 0x10\n"},
       kPrinted,
       "",
       "_ZNSt6thread11_State_implINS_8_InvokerISt5tupleIJZ4mainEUlvE_"},
      {"overflow", SIGSEGV, {"Signal: 11 (SIGSEGV)\n"}, kMain, "", "_ZN12_GLOBAL__N_17RecurseEi"},
      {"bus", SIGBUS, {"Signal: 7 (SIGBUS)\n"}, kMain, ""},
      {"ill", SIGILL, {"Signal: 4 (SIGILL)\n"}, kMain, ""},
      {"abort", SIGABRT, {"Signal: 6 (SIGABRT)\n", "Sent by process: "}, kMain, ""},
      {"fpe", SIGFPE, {"Signal: 8 (SIGFPE)\n", "Sent by process: "}, kMain, ""},
      {"chained-segv",
       SIGABRT,
       {"Signal: 11 (SIGSEGV)\n", "Address: 0x10\n"},
       kMain,
       "chainer: fault came back at 0x10\n"},
      {"chained-forever", SIGSEGV, {"Signal: 11 (SIGSEGV)\n", "Address: 0x10\n"}, kMain, ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.kind);
    const CrashingChild child(c.kind);
    const ChildResult& result = child.Result();
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.signal, c.signal) << result.err;
    EXPECT_NE(result.err.find(c.error_line), std::string::npos) << result.err;

    const std::vector<fs::path> reports = ReportsIn(child.Folder());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(child.NamedForTheRun(reports[0], child.Folder())) << reports[0];

    const std::string report = ReadFile(reports[0]);
    for (const std::string& line : c.report_lines) {
      EXPECT_NE(report.find(line), std::string::npos) << report;
    }
    const std::string process = std::to_string(child.Pid()) + "\n";
    if (c.thread == kMain) {
      EXPECT_NE(report.find("\nThread: " + process), std::string::npos) << report;
    }
    if (c.thread == kPrinted) {
      const std::string thread = result.out.substr(result.out.find(' ') + 1);
      EXPECT_NE(report.find("\nThread: " + thread), std::string::npos) << report;
    }
    EXPECT_NE(report.find("\nProcess: " + process), std::string::npos) << report;
    const size_t backtrace = report.find("Backtrace:\n");
    ASSERT_NE(backtrace, std::string::npos) << report;
    EXPECT_GT(report.size(), backtrace + 12) << "no frame in the backtrace";
    const std::string frame = "crash_child(" + std::string(c.function);
    EXPECT_NE(report.find(frame, backtrace), std::string::npos) << frame << "\n" << report;
  }
}

// A library loaded after the handler is named in reports once the symbol tables are read
// again; before that only the functions it exports would be.
TEST(CrashReportTest, LibraryLoadedLaterIsNamedOnceItsSymbolsAreRead) {
  struct Case {
    const char* kind;
    const char* frame;  // after the library's path
  };
  const Case kCases[] = {
      {"library", "(_ZN12_GLOBAL__N_111HiddenStoreEv+0x"},
      {"library-unread", "(+0x"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.kind);
    const CrashingChild child(c.kind, {}, {CRASH_LIBRARY});
    EXPECT_EQ(child.Result().signal, SIGSEGV) << child.Result().err;
    const std::vector<fs::path> reports = ReportsIn(child.Folder());
    ASSERT_EQ(reports.size(), 1u);
    const std::string report = ReadFile(reports[0]);
    EXPECT_NE(report.find(std::string(CRASH_LIBRARY) + c.frame), std::string::npos) << report;
  }
}

// A report goes to the folder set last, made when missing; when that folder cannot be made,
// or is gone by the time of the crash, the report is written beside the program.
TEST(CrashReportTest, ReportsGoToTheFolderSetOrElseBesideTheProgram) {
  struct Case {
    const char* name;
    std::vector<std::string> folders;  // below the child's folder, or "remove"
    const char* folder_results;
    const char* report_folder;  // below the child's folder, "" for beside the program
  };
  const Case kCases[] = {
      {"made with its parents", {"reports/of/crashes"}, "folder 0\n", "reports/of/crashes"},
      {"trailing slash", {"reports/"}, "folder 0\n", "reports"},
      {"set again", {"first", "second"}, "folder 0\nfolder 0\n", "second"},
      {"below a file", {"crash_child/reports"}, "folder 20\n", ""},
      {"good, then below a file", {"first", "crash_child/reports"}, "folder 0\nfolder 20\n", ""},
      {"removed before the crash", {"reports", "remove"}, "folder 0\n", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const CrashingChild child("segv", c.folders);
    EXPECT_EQ(child.Result().signal, SIGSEGV) << child.Result().err;
    EXPECT_EQ(child.Result().out, c.folder_results);
    const fs::path folder = child.Folder() / c.report_folder;
    const std::vector<fs::path> reports = ReportsIn(child.Folder());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(child.NamedForTheRun(reports[0], folder)) << reports[0];
    EXPECT_NE(ReadFile(reports[0]).find("Address: 0x10\n"), std::string::npos);
  }
}

}  // namespace
