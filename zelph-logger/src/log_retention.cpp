// log_retention.cpp
#include "log_retention.h"

#include <spdlog/details/file_helper.h>

#include <string>
#include <system_error>

namespace zelph::logger {
namespace {

// "YYYY-MM-DD" of `day`, normalised (a day of month below 1 reaches into earlier months).
std::string DateText(std::tm day) {
  std::mktime(&day);
  char text[32];
  return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d", &day));
}

bool IsDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i != 4 && i != 7 && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

}  // namespace

void RemoveExpiredLogFiles(const std::filesystem::path& base_file, int days_kept,
                           const std::tm& today) {
  if (days_kept <= 0) return;
  // The sink's own split, so that the names match the ones it makes.
  const auto [stem, extension] =
      spdlog::details::file_helper::split_by_extension(base_file.filename().string());
  std::tm first_kept = today;
  first_kept.tm_mday -= days_kept - 1;
  first_kept.tm_isdst = -1;
  // Dates as "YYYY-MM-DD" order as texts.
  const std::string first_kept_date = DateText(first_kept);

  const std::filesystem::path folder =
      base_file.has_parent_path() ? base_file.parent_path() : std::filesystem::path(".");
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() != stem.size() + 11 + extension.size() || !name.starts_with(stem + "_") ||
        !name.ends_with(extension)) {
      continue;
    }
    const std::string date = name.substr(stem.size() + 1, 10);
    if (IsDate(date) && date < first_kept_date && it->is_regular_file(error)) {
      std::filesystem::remove(it->path(), error);
    }
  }
}

}  // namespace zelph::logger
