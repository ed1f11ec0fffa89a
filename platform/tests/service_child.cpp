// service_child.cpp
//
//   service_child <name to register> [hold]
//
// Runs the service "zelph-test" under the dispatcher. The service entry prints "args" and
// its arguments, registers its control handler under the given name ("registered", or
// "register failed <error>" and returns), and with "hold" first reads a line from standard
// input and waits until the process has no SIGTERM pending any more (the dispatcher took
// it), so that a stop sent before is still ahead of the running report. Then it reports
// running and ready ("ready <result>"), waits for the stop event, reports stopped and
// returns, printing "reporting <state>" before each report and "reported <state> <result>"
// after it. The handler prints "control
// <c> on main thread" (or "on thread <id>") and sets the stop event for stop. Main prints
// "dispatcher returned <result>".
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "zelph/platform/manual_reset_event.h"
#include "zelph/platform/service_dispatcher.h"

namespace {

namespace sys = zelph::sys;

std::string registered_name;
bool hold = false;
sys::ManualResetEvent stop_requested;
std::mutex print_mutex;

void Print(const std::string& line) {
  std::lock_guard lock(print_mutex);
  std::cout << line << std::endl;
}

int ControlHandler(int control, int, void*, void*) {
  const bool on_main = gettid() == getpid();
  Print("control " + std::to_string(control) + " on " +
        (on_main ? std::string("main thread") : "thread " + std::to_string(gettid())));
  if (control == sys::kServiceControlStop) stop_requested.Set();
  return 0;
}

bool StopSignalPending() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("ShdPnd:", 0) == 0) {
      const unsigned long long pending = std::stoull(line.substr(7), nullptr, 16);
      return (pending >> (SIGTERM - 1)) & 1;
    }
  }
  return false;
}

void Report(sys::ServiceStatusHandle handle, int state, const std::string& name) {
  sys::ServiceStatus status;
  status.current_state = state;
  status.controls_accepted = sys::kServiceAcceptStop | sys::kServiceAcceptShutdown;
  Print("reporting " + name);
  const int result = sys::SetServiceStatus(handle, status);
  Print("reported " + name + " " + std::to_string(result));
}

void ServiceMain(int argc, char** argv) {
  std::string args = "args";
  for (int i = 0; i < argc; ++i) args += std::string(" ") + argv[i];
  Print(args);
  int error = 0;
  sys::ServiceStatusHandle handle =
      sys::RegisterServiceControlHandler(registered_name, ControlHandler, nullptr, error);
  if (handle == nullptr) {
    Print("register failed " + std::to_string(error));
    return;
  }
  Print("registered");
  if (hold) {
    std::string line;
    std::getline(std::cin, line);
    for (int i = 0; i < 1000 && StopSignalPending(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  Report(handle, sys::kServiceRunning, "running");
  Print("ready " + std::to_string(sys::NotifyServiceReady(handle)));
  stop_requested.Wait();
  Report(handle, sys::kServiceStopped, "stopped");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  registered_name = argv[1];
  hold = argc > 2 && std::string(argv[2]) == "hold";
  const int result = sys::RunServiceControlDispatcher("zelph-test", ServiceMain);
  Print("dispatcher returned " + std::to_string(result));
  return result & 0xFF;
}
