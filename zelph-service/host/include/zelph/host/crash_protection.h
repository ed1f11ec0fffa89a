// crash_protection.h
//
// The two protections the program sets up before it reads its command line: crash reports
// next to the program, and the refusal to run from a folder whose path the system cannot
// handle as text.
#pragma once

#include <filesystem>

namespace zelph::host {

// Installs the crash report handlers, naming the reports after the program file. Call it
// first thing on the main thread, before any plug-in or the Java VM starts. A program path
// the system cannot tell leaves the process without reports; nothing is reported then.
void InstallCrashReport();

// Whether the system can hand `path` on as text: it must be valid UTF-8.
bool IsPathRepresentable(std::filesystem::path path);

// Returns when `program_path` (argv[0] as the caller wrote it) is representable; otherwise
// writes the install-folder message to standard error (and the log, and a message box) and
// ends the process with exit code 1. Never throws.
void CheckInstallFolder(const std::filesystem::path& program_path);

}  // namespace zelph::host
