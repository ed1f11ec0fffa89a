// service_mode.cpp
#include "zelph/host/service_mode.h"

#include <fmt/format.h>

#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>

#include "zelph/config/zelph_config.h"
#include "zelph/host/command_line.h"
#include "zelph/host/command_line_checks.h"
#include "zelph/host/configuration_startup.h"
#include "zelph/host/crash_protection.h"
#include "zelph/host/debug_print.h"
#include "zelph/host/extensions.h"
#include "zelph/host/server.h"
#include "zelph/host/serving_end.h"
#include "zelph/logger/log.h"
#include "zelph/platform/service_dispatcher.h"

namespace zelph::host {
namespace {

constexpr int kControlsAccepted = sys::kServiceAcceptStop | sys::kServiceAcceptShutdown;
constexpr int kWaitHintMs = 30000;

// Written by the service thread before its first report and read only by it.
sys::ServiceStatusHandle kServiceStatusHandle = nullptr;

const char* StateName(int state) {
  switch (state) {
    case sys::kServiceStopped:
      return "SERVICE_STOPPED";
    case sys::kServiceStartPending:
      return "SERVICE_START_PENDING";
    case sys::kServiceStopPending:
      return "SERVICE_STOP_PENDING";
    case sys::kServiceRunning:
      return "SERVICE_RUNNING";
    case sys::kServiceContinuePending:
      return "SERVICE_CONTINUE_PENDING";
    case sys::kServicePausePending:
      return "SERVICE_PAUSE_PENDING";
    case sys::kServicePaused:
      return "SERVICE_PAUSED";
    default:
      return nullptr;
  }
}

void RegisterControlHandler() {
  const std::string name = ZelphConfig::GetInstance()->GetServiceName();
  DebugPrint("Register service ctrl handler");
  int error = 0;
  kServiceStatusHandle =
      sys::RegisterServiceControlHandler(name, ServiceControlHandler, nullptr, error);
  if (kServiceStatusHandle == nullptr) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed registered service control handler: {}", error);
    std::exit(error);
  }
}

void ReportServiceReady() {
  if (const int error = sys::NotifyServiceReady(kServiceStatusHandle)) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed set service status, last error: {}", error);
    std::exit(error);
  }
}

void RunService(int argc, char** argv) {
  DebugPrint("\n\n");
  DebugPrint("Parse arguments");
  ParseCommandLine(argc, argv);
  DebugPrint("Validate CLI arguments");
  ValidateCliArguments();
  DebugPrint("Initialize zelph configuration");
  InitializeConfiguration();
  DebugPrint("Initialize zelph logger");
  InitializeLogger(*ZelphConfig::GetInstance());
  UseCrashReportFolder(*ZelphConfig::GetInstance());
  RegisterControlHandler();
  InitializeExtensions();
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Report service status RUNNING");
  ReportServiceStatus(sys::kServiceRunning);
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Create service stop event");
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Wait until service stopped");
  StartServer();
  // Units ordered after the service start on this, so it waits until the port is open; the
  // running report above keeps its place in the log.
  ReportServiceReady();
  ServiceStopEvent().Wait();
  ReportServiceStatus(sys::kServiceStopped);
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "service stopped");
  ShutdownServer();
  FinishServing();
}

}  // namespace

void RunServiceDispatcher(const ZelphConfig& config) {
  const std::string name = config.GetServiceName();
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Starting service '{}' dispatcher", name);
  if (const int error = sys::RunServiceControlDispatcher(name, ServiceMain)) {
    throw std::runtime_error(fmt::format("Failed start service dispatcher error code: {}", error));
  }
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Service dispatched");
}

void ServiceMain(int argc, char** argv) {
  try {
    RunService(argc, argv);
  } catch (const std::exception& e) {
    DebugPrint(fmt::format("handle exception: {}", e.what()));
    ZELPH_LOG(ZelphSeverityLevel::kError, "{}", e.what());
    // Before registration there is no status to report: the service just ends with 1.
    if (kServiceStatusHandle != nullptr) ReportServiceStatus(sys::kServiceStopped);
    ShutdownServer();
    std::exit(1);
  }
}

sys::ManualResetEvent& ServiceStopEvent() {
  // Never destroyed: the handler may still run on the main thread while the service thread
  // ends the process.
  static sys::ManualResetEvent* const event = new sys::ManualResetEvent();
  return *event;
}

int ServiceControlHandler(int control, int event_type, void*, void*) {
  const std::string text =
      fmt::format("ServiceControlHandler, control: {}, event_type: {}", control, event_type);
  DebugPrint(text);
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "{}", text);
  if (control == sys::kServiceControlStop) {
    ZELPH_LOG(ZelphSeverityLevel::kInfo, "Service control stop");
    ServiceStopEvent().Set();
  } else if (control == sys::kServiceControlShutdown) {
    ZELPH_LOG(ZelphSeverityLevel::kInfo, "Service control shutdown");
    ServiceStopEvent().Set();
  }
  return 0;
}

void ReportServiceStatus(int state) {
  if (const char* name = StateName(state)) {
    ZELPH_LOG(ZelphSeverityLevel::kInfo, "Report SVC state: {} {}", state, name);
  }
  sys::ServiceStatus status;
  status.current_state = state;
  status.controls_accepted = kControlsAccepted;
  status.wait_hint_ms = kWaitHintMs;
  if (const int error = sys::SetServiceStatus(kServiceStatusHandle, status)) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed set service status, last error: {}", error);
    std::exit(error);
  }
}

}  // namespace zelph::host
