// crash_report.h
//
// A text report of a crash, written next to the program (or to a chosen folder) so that
// crashes of the service or of its plug-ins can be examined afterwards. Handlers for SIGSEGV,
// SIGBUS, SIGFPE, SIGILL and SIGABRT write the signal, its code, the faulting address (or the
// sender of a signal sent by a process), the process and thread ids, the UTC time and a
// backtrace, then let the signal end the process as it would have without them. The
// backtrace names functions from the symbol tables (.symtab) the object files keep, read when
// the handler is installed (and again by ReadCrashReportSymbols), so a program's own
// functions have names though its dynamic symbol table holds none of them.
//
// One report per process: the first signal writes it, later ones (the abort of a runtime
// that handles the crash after us, a second faulting thread) never touch it. A thread whose
// signal reaches the handler while another writes the report waits for it to be complete;
// the same fault signal on a second thread meets the default action, which the kernel
// restored for the first (SA_RESETHAND, which a chaining runtime needs), and ends the
// process at once.
//
// A fault (a signal the kernel raised for an instruction) is left to recur when the handler
// returns instead of being sent again, so a runtime that chained to us (the Java VM) sees
// the fault itself, with its true address, and not a signal sent by the process. A signal
// sent by a process (abort, kill) is sent again and ends the process.
//
// The report is "<program path>_YYYYMMDD_HHMMSS.dmp", stamped with the UTC time of the
// crash, or the same file name in the folder SetCrashReportFolder names; a second crashing
// process in the same second replaces the report of the first. Every failure while writing
// it is silent.
#pragma once

#include <string>

namespace zelph::sys {

// Installs the handlers for the process; `program_path` names the reports. The handlers run
// on an alternate stack in the calling thread, so a stack overflow of that thread is still
// reported; other threads report on their own stack. Install it before a runtime that
// chains signal handlers (the Java VM) starts. Returns 0, or the errno value of a failure.
int InstallCrashReportHandler(const std::string& program_path);

// Writes later reports to `folder` (made here with its parents when missing) under the
// program's file name; a report that cannot be created there, because the folder went away
// or is full or closed to the process, is written beside the program as before. An empty
// `folder` returns the reports to beside the program. Returns 0, EINVAL before
// InstallCrashReportHandler, ENAMETOOLONG, or the error of making the folder; the reports
// go beside the program after a failure. Start-up thread only: the handler reads the
// path this prepares, so no report allocates.
int SetCrashReportFolder(const std::string& folder);

// Reads the symbol tables of the objects loaded since the handler was installed (plug-ins),
// so that reports name their functions too. Each call maps the files again and keeps what it
// read before, which a handler may be reading: call it once the plug-ins are loaded, not per
// plug-in. Does nothing before InstallCrashReportHandler. Start-up thread only.
void ReadCrashReportSymbols();

// The report name for a crash at `unix_seconds` (UTC), as the handler builds it.
std::string CrashReportPath(const std::string& program_path, long long unix_seconds);

}  // namespace zelph::sys
