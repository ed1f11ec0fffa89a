// console_control.cpp
//
// One thread waits for the four signals with sigwait and starts a detached thread per
// signal that runs the handler. The signals stay blocked in every thread of the process,
// so none of them ever interrupts the program's own code.
#include "zelph/platform/console_control.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace zelph::sys {
namespace {

struct SignalEvent {
  int signal_number;
  int event;
};

constexpr SignalEvent kSignalEvents[] = {
    {SIGINT, kCtrlCEvent},
    {SIGQUIT, kCtrlBreakEvent},
    {SIGHUP, kCtrlCloseEvent},
    {SIGTERM, kCtrlShutdownEvent},
};

std::atomic<ConsoleControlHandler> installed_handler{nullptr};

// Handlers taken but not yet returned. Never destroyed: a handler thread may still leave it
// while the process exits.
struct RunningHandlers {
  std::mutex mutex;
  std::condition_variable idle;
  int count = 0;
};

RunningHandlers& Running() {
  static RunningHandlers* const running = new RunningHandlers;
  return *running;
}
std::atomic<long long> close_grace_ms{kDefaultCloseGrace.count()};

sigset_t ConsoleSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const SignalEvent& entry : kSignalEvents) sigaddset(&set, entry.signal_number);
  return set;
}

// Ends the process by the signal's default action, from the calling thread.
[[noreturn]] void EndBySignal(int signal_number) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal_number);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal_number);
  _exit(128 + signal_number);  // only if the default action did not end the process
}

void HandleEvent(int signal_number, int event) {
  const ConsoleControlHandler handler = installed_handler.load();
  const bool handled = handler != nullptr && handler(event);
  {
    std::lock_guard lock(Running().mutex);
    if (--Running().count == 0) Running().idle.notify_all();
  }
  if (!handled) EndBySignal(signal_number);
  if (event == kCtrlCloseEvent || event == kCtrlShutdownEvent) {
    std::this_thread::sleep_for(std::chrono::milliseconds(close_grace_ms.load()));
    EndBySignal(signal_number);
  }
}

int EventOf(int signal_number) {
  for (const SignalEvent& entry : kSignalEvents) {
    if (entry.signal_number == signal_number) return entry.event;
  }
  return -1;
}

void WaitForSignals(sigset_t signals) {
  for (;;) {
    int signal_number = 0;
    if (sigwait(&signals, &signal_number) != 0) continue;
    const int event = EventOf(signal_number);
    if (event < 0) continue;
    {
      std::lock_guard lock(Running().mutex);
      ++Running().count;
    }
    try {
      std::thread(HandleEvent, signal_number, event).detach();
    } catch (const std::system_error&) {
      // No thread to spare: handling the event late beats losing it.
      HandleEvent(signal_number, event);
    }
  }
}

}  // namespace

int InstallConsoleControlHandler(ConsoleControlHandler handler,
                                 std::chrono::milliseconds close_grace) {
  static std::mutex install_mutex;
  static bool waiting = false;
  std::lock_guard lock(install_mutex);
  installed_handler.store(handler);
  close_grace_ms.store(close_grace.count());
  if (waiting) return 0;
  const sigset_t signals = ConsoleSignals();
  if (const int error = pthread_sigmask(SIG_BLOCK, &signals, nullptr); error != 0) return error;
  try {
    std::thread(WaitForSignals, signals).detach();
  } catch (const std::system_error& e) {
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    return e.code().value();
  }
  waiting = true;
  return 0;
}

bool WaitForConsoleControlHandlers(std::chrono::milliseconds timeout) {
  std::unique_lock lock(Running().mutex);
  return Running().idle.wait_for(lock, timeout, [] { return Running().count == 0; });
}

}  // namespace zelph::sys
