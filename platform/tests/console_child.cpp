// console_child.cpp
//
//   console_child <close grace in ms> [decline]
//
// Installs the console control handler and prints "main <thread id>" and "ready". The
// handler prints "event <n> thread <thread id>" and answers true, or false with "decline".
// Ctrl+C (0) first prints "event 0 waiting" and waits until a Ctrl+Break (1) has been
// handled, which happens only if each event has a thread of its own; it prints "event 0
// gave up" after 10 s without one. A handled shutdown (6) lets main return 0; after a close
// (2) main keeps waiting. Main returns 5 when nothing ends it within 20 s, and 6 when the
// handlers do not finish after the shutdown.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>

#include "zelph/platform/console_control.h"

namespace {

std::mutex mutex;
std::condition_variable changed;
bool break_handled = false;
bool shutdown_handled = false;
bool decline = false;

void Print(const std::string& line) {
  std::lock_guard lock(mutex);
  std::cout << line << std::endl;
}

bool Handler(int event) {
  using namespace std::chrono_literals;
  if (event == zelph::sys::kCtrlCEvent) {
    Print("event 0 waiting");
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, 10s, [] { return break_handled; })) {
      std::cout << "event 0 gave up" << std::endl;
    }
  }
  Print("event " + std::to_string(event) + " thread " + std::to_string(gettid()));
  std::lock_guard lock(mutex);
  break_handled |= event == zelph::sys::kCtrlBreakEvent;
  shutdown_handled |= event == zelph::sys::kCtrlShutdownEvent && !decline;
  changed.notify_all();
  return !decline;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  decline = argc > 2 && std::string(argv[2]) == "decline";
  const std::chrono::milliseconds grace(std::atoi(argv[1]));
  if (zelph::sys::InstallConsoleControlHandler(Handler, grace) != 0) return 3;
  Print("main " + std::to_string(gettid()));
  Print("ready");
  {
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, std::chrono::seconds(20), [] { return shutdown_handled; }))
      return 5;
  }
  return zelph::sys::WaitForConsoleControlHandlers(std::chrono::seconds(10)) ? 0 : 6;
}
