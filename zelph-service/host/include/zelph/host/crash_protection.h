// crash_protection.h
//
// The two protections the program sets up before it reads its command line: crash reports
// next to the program (moved to the configured folder once the configuration is read), and
// the refusal to run from a folder whose path the system cannot handle as text.
#pragma once

#include <filesystem>

class ZelphConfig;

namespace zelph::host {

// Installs the crash report handlers, naming the reports after the program file. Call it
// first thing on the main thread, before any plug-in or the Java VM starts. A program path
// the system cannot tell leaves the process without reports; nothing is reported then.
void InstallCrashReport();

// Sends later crash reports to the configured folder ("server" → "crash_reports"), a
// relative one taken from the program's folder, making it when missing; no folder keeps them
// beside the program. A folder that cannot be made or used is logged as a warning and the
// reports stay beside the program; a report that cannot be written in the folder when the
// crash comes goes beside the program too. The configuration's folder becomes the absolute
// folder the reports go to (the Java VM writes its error log there), and the folder keeps
// the configured count of reports ("crash_reports_kept"). Call it on the start-up thread once
// the loggers run and before any plug-in or the Java VM starts.
void UseCrashReportFolder(ZelphConfig& config);

// Whether the system can hand `path` on as text: it must be valid UTF-8.
bool IsPathRepresentable(std::filesystem::path path);

// Returns when `program_path` (argv[0] as the caller wrote it) is representable; otherwise
// writes the install-folder message to standard error (and the log, and a message box) and
// ends the process with exit code 1. Never throws.
void CheckInstallFolder(const std::filesystem::path& program_path);

}  // namespace zelph::host
