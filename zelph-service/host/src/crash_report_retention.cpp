// crash_report_retention.cpp
#include "zelph/host/crash_report_retention.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <vector>

namespace zelph::host {
namespace {

namespace fs = std::filesystem;

struct Kind {
  std::string prefix;
  std::string suffix;
};

void RemoveOldest(std::vector<std::pair<fs::file_time_type, fs::path>>& reports, size_t keep) {
  if (reports.size() <= keep) return;
  std::sort(reports.begin(), reports.end());
  std::error_code ignored;
  for (size_t i = 0; i < reports.size() - keep; ++i) fs::remove(reports[i].second, ignored);
}

}  // namespace

void RemoveOldCrashReports(const fs::path& folder, const std::string& program_name, int kept) {
  if (kept <= 0) return;
  const Kind kKinds[] = {{program_name + "_", ".dmp"}, {"hs_err_pid", ".log"}};
  for (const Kind& kind : kKinds) {
    std::vector<std::pair<fs::file_time_type, fs::path>> reports;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (!name.starts_with(kind.prefix) || !name.ends_with(kind.suffix) ||
          !it->is_regular_file(error)) {
        continue;
      }
      const fs::file_time_type modified = it->last_write_time(error);
      if (!error) reports.emplace_back(modified, it->path());
    }
    RemoveOldest(reports, static_cast<size_t>(kept - 1));
  }
}

}  // namespace zelph::host
