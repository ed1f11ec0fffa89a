// crash_child.cpp
//
//   crash_child <kind> [<report folder> | remove]...
//
// Installs the crash report handler, named after this program, sends the reports to each
// folder given in turn (printing "folder <result>"; "remove" removes the folder set last
// again), and crashes the way `kind` says:
//   segv             a store to an unmapped address
//   segv-thread      the same on a second thread, which first prints "thread <id>"
//   overflow         endless recursion on the main thread (needs the alternate stack)
//   bus              a read of a mapped page beyond the end of its file
//   ill              a trap instruction
//   abort            abort()
//   fpe              SIGFPE sent to itself
//   chained-segv     segv under a handler installed after ours that chains to it as a
//                    runtime does: once, honouring SA_RESETHAND; when the signal comes back
//                    it writes "chainer: fault came back at <address>" (or "chainer: signal
//                    came back sent by a process") to standard error and aborts
//   chained-forever  segv under a handler that chains to ours every time
//   library <path>   segv in a function that the library at <path> does not export, the
//                    library loaded after the handler and the symbol tables read again
//   library-unread <path>  the same without reading the symbol tables again
// Exit codes: 2 bad argument, 3 no handler, 4 still alive, 5 no chaining handler.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "zelph/platform/crash_report.h"
#include "zelph/platform/dynamic_library.h"
#include "zelph/platform/process_info.h"

namespace {

volatile std::uintptr_t unmapped_address = 16;
volatile bool keep_recursing = true;

void StoreToUnmappedAddress() { *reinterpret_cast<volatile int*>(unmapped_address) = 1; }

int Recurse(int depth) {
  volatile char frame[4096];
  frame[depth % sizeof(frame)] = static_cast<char>(depth);
  if (!keep_recursing) return 0;
  return Recurse(depth + 1) + frame[0];
}

// The handler found in place when the chaining handler was installed: ours.
struct sigaction chained_action;
bool honour_reset_flag = true;

void ChainingHandler(int signal_number, siginfo_t* info, void* context) {
  if (chained_action.sa_handler != SIG_DFL && chained_action.sa_handler != SIG_IGN) {
    const auto chained = chained_action.sa_sigaction;
    if (honour_reset_flag && (chained_action.sa_flags & SA_RESETHAND) != 0) {
      chained_action.sa_handler = SIG_DFL;
    }
    chained(signal_number, info, context);
    return;
  }
  char line[128];
  const int length =
      info->si_code > 0
          ? std::snprintf(line, sizeof(line), "chainer: fault came back at %p\n", info->si_addr)
          : std::snprintf(line, sizeof(line), "chainer: signal came back sent by a process\n");
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line, static_cast<size_t>(length));
  abort();
}

bool InstallChainingHandler(bool honour_reset) {
  honour_reset_flag = honour_reset;
  struct sigaction action {};
  action.sa_sigaction = ChainingHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGSEGV, &action, &chained_action) == 0;
}

void ReadBeyondEndOfFile() {
  std::FILE* file = std::tmpfile();
  void* page = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fileno(file), 0);
  if (page == MAP_FAILED) return;
  std::printf("%d\n", *static_cast<volatile char*>(page));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (zelph::sys::InstallCrashReportHandler(zelph::sys::ExecutablePath()) != 0) return 3;
  const std::string kind = argv[1];
  if (kind == "library" || kind == "library-unread") {
    if (argc != 3) return 2;
    auto library = zelph::sys::DynamicLibrary::Open(argv[2]);
    const auto crash = reinterpret_cast<void (*)()>(library.Symbol("CrashInLibrary"));
    if (crash == nullptr) return 2;
    if (kind == "library") zelph::sys::ReadCrashReportSymbols();
    crash();
    return 4;
  }
  std::string folder;
  for (int i = 2; i < argc; ++i) {
    if (std::string(argv[i]) == "remove") {
      std::filesystem::remove_all(folder);
    } else {
      folder = argv[i];
      std::cout << "folder " << zelph::sys::SetCrashReportFolder(folder) << std::endl;
    }
  }
  if (kind == "segv") {
    StoreToUnmappedAddress();
  } else if (kind == "chained-segv" || kind == "chained-forever") {
    if (!InstallChainingHandler(kind == "chained-segv")) return 5;
    StoreToUnmappedAddress();
  } else if (kind == "segv-thread") {
    std::thread([] {
      std::cout << "thread " << gettid() << std::endl;
      StoreToUnmappedAddress();
    }).join();
  } else if (kind == "overflow") {
    return Recurse(0);
  } else if (kind == "bus") {
    ReadBeyondEndOfFile();
  } else if (kind == "ill") {
    __builtin_trap();
  } else if (kind == "abort") {
    std::abort();
  } else if (kind == "fpe") {
    raise(SIGFPE);
  } else {
    return 2;
  }
  return 4;
}
