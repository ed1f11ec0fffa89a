#include "zelph/host/crash_report_retention.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "zelph/platform/testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using zelph::sys::testing::TempFolder;

// Reports of both kinds, each an hour older than the one before it, and files that are no
// reports of this program; the count kept leaves room for one more report of each kind.
TEST(CrashReportRetentionTest, OldestReportsOfEachKindGo) {
  // Newest first.
  const std::vector<std::string> kReports = {
      "zelph-service_20260105_000000.dmp", "zelph-service_20260104_000000.dmp",
      "zelph-service_20260103_000000.dmp", "zelph-service_20260102_000000.dmp"};
  const std::vector<std::string> kVmLogs = {"hs_err_pid30.log", "hs_err_pid400.log",
                                            "hs_err_pid5.log"};
  const std::set<std::string> kOthers = {"other-program_20200101_000000.dmp",
                                         "zelph-service_20200101_000000.txt",
                                         "zelph-service_2026.log", "hs_err_pid1.txt"};
  struct Case {
    int kept;
    size_t reports_left;
    size_t vm_logs_left;
  };
  const Case kCases[] = {{0, 4, 3}, {1, 0, 0}, {2, 1, 1}, {3, 2, 2}, {4, 3, 3}, {5, 4, 3}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.kept);
    TempFolder folder;
    const auto now = fs::file_time_type::clock::now();
    auto write = [&](const std::vector<std::string>& names) {
      for (size_t i = 0; i < names.size(); ++i) {
        fs::last_write_time(folder.WriteFile(names[i], "report"), now - std::chrono::hours(i));
      }
    };
    write(kReports);
    write(kVmLogs);
    for (const std::string& name : kOthers) {
      fs::last_write_time(folder.WriteFile(name, "x"), now - std::chrono::hours(1000));
    }
    // A folder named like a report is no report.
    fs::create_directory(folder.Path() / "zelph-service_20000101_000000.dmp");

    zelph::host::RemoveOldCrashReports(folder.Path(), "zelph-service", c.kept);

    std::set<std::string> expected = kOthers;
    expected.insert("zelph-service_20000101_000000.dmp");
    expected.insert(kReports.begin(), kReports.begin() + c.reports_left);
    expected.insert(kVmLogs.begin(), kVmLogs.begin() + c.vm_logs_left);
    std::set<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path())) {
      left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left, expected);
  }
}

// A folder that is missing or a file leaves nothing to do and throws nothing.
TEST(CrashReportRetentionTest, MissingFolderIsNoError) {
  TempFolder folder;
  const fs::path file = folder.WriteFile("zelph-service", "program");
  for (const fs::path& path : {folder.Path() / "missing", file}) {
    EXPECT_NO_THROW(zelph::host::RemoveOldCrashReports(path, "zelph-service", 1)) << path;
  }
  EXPECT_TRUE(fs::exists(file));
}

}  // namespace
