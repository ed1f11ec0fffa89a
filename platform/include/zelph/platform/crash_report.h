// crash_report.h
//
// A text report of every crash, written next to the program so that crashes of the service
// or of its plug-ins can be examined afterwards. Handlers for SIGSEGV, SIGBUS, SIGFPE,
// SIGILL and SIGABRT write the signal, its code, the faulting address (or the sender of a
// signal sent by a process), the process and thread ids, the UTC time and a backtrace, then
// let the signal end the process exactly as it would have without them.
//
// The report is "<program path>_YYYYMMDD_HHMMSS.dmp", stamped with the UTC time of the
// crash; a second crash in the same second replaces the first report. Every failure while
// writing it is silent.
#pragma once

#include <string>

namespace zelph::sys {

// Installs the handlers for the process; `program_path` names the reports. The handlers run
// on an alternate stack in the calling thread, so a stack overflow of that thread is still
// reported; other threads report on their own stack. Install it before a runtime that
// chains signal handlers (the Java VM) starts. Returns 0, or the errno value of a failure.
int InstallCrashReportHandler(const std::string& program_path);

// The report name for a crash at `unix_seconds` (UTC), as the handler builds it.
std::string CrashReportPath(const std::string& program_path, long long unix_seconds);

}  // namespace zelph::sys
