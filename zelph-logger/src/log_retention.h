// log_retention.h
//
// The bound on the daily log files: spdlog's daily sink names each day's file
// "<stem>_YYYY-MM-DD<extension>" and, left alone, keeps every one. Its own limit counts only
// the files of consecutive days back from today, so the files of a month the program did not
// run on every day would stay for ever; the bound here goes by the date in each name.
#pragma once

#include <ctime>
#include <filesystem>

namespace zelph::logger {

// Removes the daily files of `base_file` (the file name as configured, without its date)
// dated `days_kept` days or more before `today` (local time), so that the files of the last
// `days_kept` days, today's among them, stay. Other files of the folder stay: another stem or
// extension, more after the extension, no "DDDD-DD-DD" where the date goes, folders.
// `days_kept` 0 keeps all. A file that cannot be
// removed stays for the next try; nothing is thrown. Called when the sink opens a day's file,
// under the sink's lock.
void RemoveExpiredLogFiles(const std::filesystem::path& base_file, int days_kept,
                           const std::tm& today);

}  // namespace zelph::logger
