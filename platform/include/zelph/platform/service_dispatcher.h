// service_dispatcher.h
//
// Running the program as a system service under systemd, in the shape of a service control
// manager: a dispatcher that runs the service entry on a thread of its own, a control
// handler that the dispatcher calls on its own (the main) thread, and status reports.
//
//   - The process runs "under the service manager" when systemd's notify socket is given
//     (NOTIFY_SOCKET, set for units of Type=notify); otherwise the dispatcher fails with
//     kErrorFailedServiceControllerConnect.
//   - Status reports become notify datagrams: stop pending and stopped send "STOPPING=1",
//     each with a "STATUS=" line naming the state. Readiness ("READY=1") is a report of its
//     own, NotifyServiceReady, which the service sends once it really serves: a unit ordered
//     after this one starts when it arrives, which may be later than the running report.
//   - SIGTERM, which systemd sends to stop the unit, is the stop control.
//   - A control is delivered only once a status report has accepted it; one that arrives
//     earlier is held until then, so a stop requested during start-up is never lost. After a
//     stopped report no control is delivered.
//   - The service's start arguments are its name followed by the whitespace-separated words
//     of the environment variable kServiceArgumentsVariable.
//
//   void ServiceMain(int argc, char** argv) {
//     handle = RegisterServiceControlHandler(argv[0], Handler, nullptr, error);
//     SetServiceStatus(handle, {.current_state = kServiceRunning, .controls_accepted = ...});
//     ... start serving ...
//     NotifyServiceReady(handle);
//     ... wait for the stop that Handler signals ...
//     SetServiceStatus(handle, {.current_state = kServiceStopped, ...});
//   }
//   int error = RunServiceControlDispatcher(name, ServiceMain);  // on the main thread
#pragma once

#include <string>

namespace zelph::sys {

// Error numbers of the service layer, numbered as service control managers number them, so
// logs and exit codes read alike on every platform.
inline constexpr int kErrorInvalidHandle = 6;
inline constexpr int kErrorInvalidData = 13;
inline constexpr int kErrorServiceAlreadyRunning = 1056;
inline constexpr int kErrorServiceDoesNotExist = 1060;
inline constexpr int kErrorFailedServiceControllerConnect = 1063;

// Service states.
inline constexpr int kServiceStopped = 1;
inline constexpr int kServiceStartPending = 2;
inline constexpr int kServiceStopPending = 3;
inline constexpr int kServiceRunning = 4;
inline constexpr int kServiceContinuePending = 5;
inline constexpr int kServicePausePending = 6;
inline constexpr int kServicePaused = 7;

// Controls and the bits that accept them.
inline constexpr int kServiceControlStop = 1;
inline constexpr int kServiceControlInterrogate = 4;
inline constexpr int kServiceControlShutdown = 5;
inline constexpr int kServiceAcceptStop = 1;
inline constexpr int kServiceAcceptShutdown = 4;

inline constexpr int kServiceOwnProcess = 16;

inline constexpr const char* kServiceArgumentsVariable = "ZELPH_SERVICE_ARGS";

// A status report. systemd learns the state (and so the accepted controls); the other fields
// keep the shape service managers know, for the reports' readers.
struct ServiceStatus {
  int service_type = kServiceOwnProcess;
  int current_state = 0;
  int controls_accepted = 0;
  int exit_code = 0;
  int service_specific_exit_code = 0;
  int check_point = 0;
  int wait_hint_ms = 0;
};

// The service entry: argv[0] is the service name; the vector lives until it returns.
using ServiceMainFunction = void (*)(int argc, char** argv);
// The control handler: control code, event type (always 0 here), event data (always null)
// and the context given at registration. Its result is ignored. It runs on the
// dispatcher's thread and should return promptly: controls wait for it.
using ServiceControlHandlerFunction = int (*)(int control, int event_type, void* event_data,
                                              void* context);

// Identifies a registration; valid until the dispatcher returns.
class ServiceRegistration;
using ServiceStatusHandle = ServiceRegistration*;

// Runs `service_main` on a new thread and delivers controls to its handler on the calling
// thread, until `service_main` has returned. Call it from the main thread before the
// process starts other threads: SIGTERM is blocked in the calling thread and stays blocked
// (the service thread and every thread it starts inherit that). Returns 0 after the service
// has ended, kErrorFailedServiceControllerConnect without a usable notify socket,
// kErrorServiceAlreadyRunning when a dispatcher runs already, or an errno value.
int RunServiceControlDispatcher(const std::string& service_name, ServiceMainFunction service_main);

// Registers the control handler of the running service `service_name`. Returns the handle
// for status reports, or nullptr with `error` set to kErrorServiceDoesNotExist when no
// dispatcher runs a service of that name. A second registration replaces the handler.
ServiceStatusHandle RegisterServiceControlHandler(const std::string& service_name,
                                                  ServiceControlHandlerFunction handler,
                                                  void* context, int& error);

// Reports the service's status to systemd and sets the controls it accepts from now on.
// Returns 0, kErrorInvalidHandle for a handle of no running dispatcher, kErrorInvalidData
// for a state outside 1 to 7, or the errno value of a failed send. Any thread.
int SetServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status);

// Tells systemd that the service is ready: units ordered after it start now, and a unit of
// Type=notify counts as started. Returns 0, kErrorInvalidHandle for a handle of no running
// dispatcher, or the errno value of a failed send. Any thread.
int NotifyServiceReady(ServiceStatusHandle handle);

}  // namespace zelph::sys
