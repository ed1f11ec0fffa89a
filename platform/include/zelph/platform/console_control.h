// console_control.h
//
// Console control events, delivered to this process as signals: SIGINT is Ctrl+C, SIGQUIT
// Ctrl+Break, SIGHUP the closing of the terminal and SIGTERM the shutdown of the system
// (or a stop by a process manager). Each event runs the installed handler on a thread of
// its own, so a handler that blocks (a server shutdown waits for its calls to finish)
// neither delays other events nor runs inside a signal handler: it may lock, allocate and
// log freely.
//
// After the handler:
//   - false (not handled): the process ends by the signal, as if no handler existed;
//   - true for Ctrl+C and Ctrl+Break: the process goes on;
//   - true for close and shutdown: the process is expected to end by itself; if it is still
//     running after a grace period, it ends by the signal.
#pragma once

#include <chrono>

namespace zelph::sys {

// Event numbers, as a console numbers them.
inline constexpr int kCtrlCEvent = 0;         // SIGINT
inline constexpr int kCtrlBreakEvent = 1;     // SIGQUIT
inline constexpr int kCtrlCloseEvent = 2;     // SIGHUP
inline constexpr int kCtrlLogoffEvent = 5;    // no signal of its own here
inline constexpr int kCtrlShutdownEvent = 6;  // SIGTERM

// Answers whether it handled the event. Runs on a new thread per event; several may run at
// once.
using ConsoleControlHandler = bool (*)(int event);

inline constexpr std::chrono::milliseconds kDefaultCloseGrace{10000};

// Routes the four signals to `handler`. Call it before the process starts any other
// thread: the signals are blocked in the calling thread, and only threads started from
// then on inherit the block (a thread that does not block them would take the signal's
// default action instead). A second call replaces the handler. Returns 0, or the errno
// value when the signal-waiting thread could not be started.
int InstallConsoleControlHandler(ConsoleControlHandler handler,
                                 std::chrono::milliseconds close_grace = kDefaultCloseGrace);

// Waits until no handler runs (counted from the moment a signal is taken), at most
// `timeout`; true when none runs. The program calls it before it returns from main, so that
// no handler is still inside objects that static destruction is about to destroy.
bool WaitForConsoleControlHandlers(std::chrono::milliseconds timeout);

}  // namespace zelph::sys
