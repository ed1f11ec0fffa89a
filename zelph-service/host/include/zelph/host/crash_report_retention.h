// crash_report_retention.h
//
// The bound on the crash reports a folder keeps: the program's reports
// ("<program>_YYYYMMDD_HHMMSS.dmp") and the Java VM's error logs ("hs_err_pid<pid>.log")
// would otherwise pile up beside the logs of a service that restarts after each crash.
#pragma once

#include <filesystem>
#include <string>

namespace zelph::host {

// Removes the oldest files of each kind in `folder` (by modification time, then by name)
// until fewer than `kept` remain, leaving room for the report this run may write, so that a
// crash never leaves more than `kept`. The program's reports are the files named
// "<program_name>_*.dmp". `kept` 0 keeps all. A file that cannot be removed stays; nothing is
// thrown. Start-up thread, before any plug-in can crash.
void RemoveOldCrashReports(const std::filesystem::path& folder, const std::string& program_name,
                           int kept);

}  // namespace zelph::host
