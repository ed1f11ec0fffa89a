// crash_child.cpp
//
// Installs the crash report handler, named after this program, and crashes the way its
// argument says:
//   segv         a store to an unmapped address
//   segv-thread  the same on a second thread, which first prints "thread <id>"
//   overflow     endless recursion on the main thread (needs the alternate stack)
//   bus          a read of a mapped page beyond the end of its file
//   ill          a trap instruction
//   abort        abort()
//   fpe          SIGFPE sent to itself
// Exit codes: 2 bad argument, 3 no handler, 4 still alive.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "zelph/platform/crash_report.h"
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

void ReadBeyondEndOfFile() {
  std::FILE* file = std::tmpfile();
  void* page = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fileno(file), 0);
  if (page == MAP_FAILED) return;
  std::printf("%d\n", *static_cast<volatile char*>(page));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  if (zelph::sys::InstallCrashReportHandler(zelph::sys::ExecutablePath()) != 0) return 3;
  const std::string kind = argv[1];
  if (kind == "segv") {
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
