// service_mode.h
//
// The program as a system service: the dispatcher that main starts when the configuration
// enables the service, the service entry that repeats start-up with the service's own start
// arguments and serves until it is told to stop, the control handler that turns stop and
// shutdown controls into the stop event, and the status reports.
//
// Threads: main blocks in RunServiceDispatcher, which runs ServiceMain on a thread of its
// own and calls ServiceControlHandler on the main thread. The stop event exists for the
// whole process, so a control can never find it missing; the dispatcher holds controls that
// arrive before the running report, so a stop asked for during start-up is still taken.
#pragma once

#include "zelph/platform/manual_reset_event.h"

class ZelphConfig;

namespace zelph::host {

// Runs the configured service under the service manager and returns once the service entry
// has returned. Throws std::runtime_error "Failed start service dispatcher error code: {}"
// when the process was not started by the service manager (1063) or the dispatcher cannot
// run.
void RunServiceDispatcher(const ZelphConfig& config);

// The service entry: parses and checks the start arguments (argv[0] is the service name),
// reads their configuration on top of the first one (its crash report folder included),
// registers the control handler, loads the extensions, reports running, starts the server
// and reports ready once it listens, serves until the stop event, reports stopped and
// releases the server, the profiles and the loggers. Ends the process with 1 after an
// exception, and with the service layer's error when the handler cannot be registered or a
// report fails.
void ServiceMain(int argc, char** argv);

// Logs every control; stop and shutdown set the stop event. Answers 0. Returns at once.
int ServiceControlHandler(int control, int event_type, void* event_data, void* context);

// The stop event: set by ServiceControlHandler, waited on by ServiceMain, never reset. It
// exists for the life of the process, before any control can arrive.
sys::ManualResetEvent& ServiceStopEvent();

// Reports `state` (1 to 7) with stop and shutdown accepted; ends the process with the
// service layer's error when the report fails. Service thread only, after registration.
void ReportServiceStatus(int state);

}  // namespace zelph::host
