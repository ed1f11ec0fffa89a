// crash_report.cpp
//
// The signal handler uses only async-signal-safe calls (open, write, close, clock_gettime,
// getpid, gettid, raise, sigaction, nanosleep), formats numbers and the date by hand, keeps
// every buffer on the stack and reads report paths prepared before; the once-only state is
// lock-free atomics. backtrace() has no safe counterpart: it is run once at installation, so
// that the unwinder is loaded then and not inside the handler, and backtrace_symbols_fd
// writes without allocating. The function names of the frames come from the symbol tables
// read at installation (function_symbols.h).
#include "zelph/platform/crash_report.h"

#include "function_symbols.h"

#include <execinfo.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace zelph::sys {
namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kSignalCount = sizeof(kCrashSignals) / sizeof(kCrashSignals[0]);
constexpr size_t kAlternateStackSize = 256 * 1024;
constexpr int kMaxFrames = 128;
// "_YYYYMMDD_HHMMSS.dmp" and the terminating zero.
constexpr size_t kStampLength = 21;
// How long a thread that crashes while another writes the report waits for it: long enough
// for a backtrace on a loaded machine, short enough that a writer stuck for good (a second
// fault inside it) still lets the process end.
constexpr int kReportWaitSteps = 500;
constexpr long kReportWaitStepNs = 10'000'000;

// A report path without its stamp: the program path, and the same file name in a folder.
struct ReportPrefix {
  char text[PATH_MAX];
  size_t length = 0;
};

ReportPrefix program_prefix;
// Two slots so that a handler never reads one that SetCrashReportFolder is filling: it fills
// the slot not published and then publishes it. -1: no folder, reports beside the program.
ReportPrefix folder_prefixes[2];
std::atomic<int> published_folder{-1};

// The actions in place before ours, restored when a chained fault comes back (OnCrash).
struct sigaction previous_actions[kSignalCount];

// The thread that writes the process's one report (0 until the first crash), and whether
// that report is complete.
std::atomic<pid_t> reporting_thread{0};
std::atomic<bool> report_complete{false};
static_assert(std::atomic<pid_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<int>::is_always_lock_free,
              "the signal handler needs lock-free atomics");

// Collects text in a stack buffer and writes it out in large pieces.
class ReportWriter {
 public:
  explicit ReportWriter(int fd) : fd_(fd) {}
  ~ReportWriter() { Flush(); }

  void Text(const char* text) {
    while (*text != '\0') Char(*text++);
  }

  void Number(unsigned long long value, unsigned base = 10, int min_digits = 1) {
    char digits[32];
    int count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value != 0 || count < min_digits);
    while (count > 0) Char(digits[--count]);
  }

  void Flush() {
    size_t done = 0;
    while (done < used_) {
      const ssize_t written = write(fd_, buffer_ + done, used_ - done);
      if (written <= 0) break;
      done += static_cast<size_t>(written);
    }
    used_ = 0;
  }

 private:
  void Char(char c) {
    if (used_ == sizeof(buffer_)) Flush();
    buffer_[used_++] = c;
  }

  int fd_;
  char buffer_[1024];
  size_t used_ = 0;
};

struct UtcTime {
  unsigned year, month, day, hour, minute, second;
};

// Days since 1970-01-01 to a civil date (the proleptic Gregorian calendar), after Howard
// Hinnant's days_from_civil inverse; gmtime_r may not be called in a signal handler.
UtcTime ToUtc(long long unix_seconds) {
  long long days = unix_seconds / 86400;
  long long rest = unix_seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned month_index = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const unsigned month = month_index < 10 ? month_index + 3 : month_index - 9;
  const long long year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<unsigned>(year),
          month,
          day,
          static_cast<unsigned>(rest / 3600),
          static_cast<unsigned>(rest / 60 % 60),
          static_cast<unsigned>(rest % 60)};
}

// Writes "_YYYYMMDD_HHMMSS.dmp" and a terminating zero to `out` (kStampLength bytes).
void FormatStamp(long long unix_seconds, char* out) {
  const UtcTime t = ToUtc(unix_seconds);
  auto put = [&out](unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
      out[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    out += digits;
  };
  *out++ = '_';
  put(t.year, 4);
  put(t.month, 2);
  put(t.day, 2);
  *out++ = '_';
  put(t.hour, 2);
  put(t.minute, 2);
  put(t.second, 2);
  std::memcpy(out, ".dmp", 5);
}

const char* SignalName(int signal_number) {
  switch (signal_number) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    case SIGABRT:
      return "SIGABRT";
    default:
      return "?";
  }
}

int CreateReport(const ReportPrefix& prefix, long long now) {
  char path[PATH_MAX + kStampLength];
  std::memcpy(path, prefix.text, prefix.length);
  FormatStamp(now, path + prefix.length);
  return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

// A signal the kernel raised for an instruction of this process, which recurs when the
// handler returns; abort(), kill() and raise() give a code of 0 or below.
bool IsFault(int signal_number, const siginfo_t* info) {
  return signal_number != SIGABRT && info->si_code > 0;
}

// One line per frame, "<object>(<function>+0x<offset>)[0x<address>]" as backtrace_symbols_fd
// writes them, the function taken from the symbol tables read at installation; a frame they
// do not cover (a stripped system library) is left to backtrace_symbols_fd and the dynamic
// symbols.
void WriteFrames(void* const* frames, int count, int fd) {
  for (int i = 0; i < count; ++i) {
    const auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
    // A return address may lie just past the end of a call that never returns.
    const FunctionAtAddress function = FindFunction(i == 0 ? address : address - 1);
    if (function.name == nullptr) {
      backtrace_symbols_fd(&frames[i], 1, fd);
      continue;
    }
    ReportWriter line(fd);
    line.Text(function.object);
    line.Text("(");
    line.Text(function.name);
    line.Text("+0x");
    line.Number(i == 0 ? function.offset : function.offset + 1, 16);
    line.Text(")[0x");
    line.Number(address, 16);
    line.Text("]\n");
  }
}

void WriteReport(int signal_number, const siginfo_t* info) {
  // Not time(): it reads the coarse clock, which lags the clock the log and a watching
  // process read by up to a tick, so a report could be stamped a second before the crash.
  timespec clock{};
  clock_gettime(CLOCK_REALTIME, &clock);
  const long long now = clock.tv_sec;
  const int folder = published_folder.load();
  int fd = folder >= 0 ? CreateReport(folder_prefixes[folder], now) : -1;
  if (fd < 0) fd = CreateReport(program_prefix, now);
  if (fd < 0) return;
  {
    ReportWriter report(fd);
    report.Text("Crash report of ");
    report.Text(program_prefix.text);
    report.Text("\nSignal: ");
    report.Number(static_cast<unsigned>(signal_number));
    report.Text(" (");
    report.Text(SignalName(signal_number));
    report.Text(")\nCode: ");
    report.Number(static_cast<unsigned>(info->si_code));
    if (info->si_code > 0) {
      report.Text("\nAddress: 0x");
      report.Number(reinterpret_cast<unsigned long long>(info->si_addr), 16);
    } else {
      report.Text("\nSent by process: ");
      report.Number(static_cast<unsigned>(info->si_pid));
    }
    report.Text("\nProcess: ");
    report.Number(static_cast<unsigned>(getpid()));
    report.Text("\nThread: ");
    report.Number(static_cast<unsigned>(gettid()));
    const UtcTime t = ToUtc(now);
    report.Text("\nTime (UTC): ");
    report.Number(t.year, 10, 4);
    report.Text("-");
    report.Number(t.month, 10, 2);
    report.Text("-");
    report.Number(t.day, 10, 2);
    report.Text(" ");
    report.Number(t.hour, 10, 2);
    report.Text(":");
    report.Number(t.minute, 10, 2);
    report.Text(":");
    report.Number(t.second, 10, 2);
    report.Text("\nBacktrace:\n");
  }
  void* frames[kMaxFrames];
  const int count = backtrace(frames, kMaxFrames);
  WriteFrames(frames, count, fd);
  close(fd);
}

void WaitForReport() {
  const timespec step{0, kReportWaitStepNs};
  for (int i = 0; i < kReportWaitSteps && !report_complete.load(); ++i) nanosleep(&step, nullptr);
}

void RestorePreviousAction(int signal_number) {
  for (int i = 0; i < kSignalCount; ++i) {
    if (kCrashSignals[i] == signal_number) sigaction(signal_number, &previous_actions[i], nullptr);
  }
}

void OnCrash(int signal_number, siginfo_t* info, void*) {
  const int saved_errno = errno;
  const pid_t self = gettid();
  pid_t writer = 0;
  const bool first = reporting_thread.compare_exchange_strong(writer, self);
  if (first) {
    WriteReport(signal_number, info);
    report_complete.store(true);
  } else if (writer != self) {
    WaitForReport();
  }
  if (IsFault(signal_number, info)) {
    // Returning lets the instruction fault again. Called by the kernel, SA_RESETHAND has
    // restored the default action, which then ends the process. Called by a runtime that
    // chained to us, the runtime sees the fault again with its true address, and a runtime
    // that honours SA_RESETHAND does not call us again. One that calls us again anyway would
    // loop here for ever: from the second fault on the action before ours takes over.
    if (!first) RestorePreviousAction(signal_number);
  } else {
    // A sent signal does not recur: send it again. It is delivered, and ends the process
    // with the default action, as soon as this handler returns.
    raise(signal_number);
  }
  errno = saved_errno;
}

// Fills `prefix` with `folder` and the program's file name; false when it does not fit.
bool FormatFolderPrefix(const std::string& folder, ReportPrefix& prefix) {
  const char* slash = std::strrchr(program_prefix.text, '/');
  const char* name = slash == nullptr ? program_prefix.text : slash + 1;
  const size_t name_length = std::strlen(name);
  const bool needs_slash = folder.back() != '/';
  const size_t length = folder.size() + (needs_slash ? 1 : 0) + name_length;
  if (length >= sizeof(prefix.text)) return false;
  std::memcpy(prefix.text, folder.data(), folder.size());
  if (needs_slash) prefix.text[folder.size()] = '/';
  std::memcpy(prefix.text + length - name_length, name, name_length + 1);
  prefix.length = length;
  return true;
}

}  // namespace

std::string CrashReportPath(const std::string& program_path, long long unix_seconds) {
  char stamp[kStampLength];
  FormatStamp(unix_seconds, stamp);
  return program_path + stamp;
}

int InstallCrashReportHandler(const std::string& program_path) {
  if (program_path.empty() || program_path.size() >= sizeof(program_prefix.text)) {
    return ENAMETOOLONG;
  }
  std::memcpy(program_prefix.text, program_path.c_str(), program_path.size() + 1);
  program_prefix.length = program_path.size();

  void* frames[1];
  backtrace(frames, 1);
  LoadFunctionSymbols();

  // Mapped rather than static: a runtime that replaces the alternate stack of a thread may
  // unmap the one it finds.
  void* stack = mmap(nullptr, kAlternateStackSize, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (stack == MAP_FAILED) return errno;
  stack_t alternate{};
  alternate.ss_sp = stack;
  alternate.ss_size = kAlternateStackSize;
  if (sigaltstack(&alternate, nullptr) != 0) return errno;

  struct sigaction action {};
  action.sa_sigaction = OnCrash;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) {
    if (sigaction(kCrashSignals[i], &action, &previous_actions[i]) != 0) return errno;
  }
  return 0;
}

void ReadCrashReportSymbols() {
  if (program_prefix.length != 0) LoadFunctionSymbols();
}

int SetCrashReportFolder(const std::string& folder) {
  if (program_prefix.length == 0) return EINVAL;
  if (folder.empty()) {
    published_folder.store(-1);
    return 0;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const int slot = published_folder.load() == 0 ? 1 : 0;
  if (!error && !FormatFolderPrefix(folder, folder_prefixes[slot])) {
    error = std::make_error_code(std::errc::filename_too_long);
  }
  published_folder.store(error ? -1 : slot);
  return error.value();
}

}  // namespace zelph::sys
