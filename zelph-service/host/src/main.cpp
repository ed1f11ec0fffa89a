// main.cpp
//
// The zelph-service program: start-up in a fixed order (crash reports, install-folder
// check, command line, working folder, argument checks, configuration, loggers, the crash
// report folder, local time), then one mode: the console server until a console event
// stops it, or the service under the service manager, or one chain-file run.
#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "zelph/config/zelph_config.h"
#include "zelph/host/chain_file_run.h"
#include "zelph/host/command_line.h"
#include "zelph/host/command_line_checks.h"
#include "zelph/host/configuration_startup.h"
#include "zelph/host/console_events.h"
#include "zelph/host/crash_protection.h"
#include "zelph/host/debug_print.h"
#include "zelph/host/extensions.h"
#include "zelph/host/message_boxes.h"
#include "zelph/host/server.h"
#include "zelph/host/service_mode.h"
#include "zelph/host/serving_end.h"
#include "zelph/host/working_folder.h"
#include "zelph/logger/log.h"
#include "zelph/logger/log_config.h"
#include "zelph/platform/console_control.h"
#include "zelph/platform/process_info.h"

namespace {

using namespace zelph::host;

// Long enough for a console event's server shutdown (five seconds of grace) to finish.
constexpr std::chrono::seconds kConsoleHandlersBound{10};

void PrintLocalTime() {
  const zelph::sys::LocalTime now = zelph::sys::GetLocalTime();
  std::printf("The local time is: %02d:%02d:%02d,%d\n", now.hour, now.minute, now.second,
              now.milliseconds);
  std::fflush(stdout);
}

void RunConsoleServer() {
  DebugPrint("Starting server...");
  StartServer();
  WaitServer();
  FinishServing();
}

void RunMode(const ZelphConfig& config) {
  if (config.IsServiceEnabled()) {
    DebugPrint("Initializing service dispatcher...");
    RunServiceDispatcher(config);
    return;
  }
  DebugPrint("Initializing console control handler...");
  if (const int error = zelph::sys::InstallConsoleControlHandler(ConsoleCtrlHandler)) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed set console ctrl handler: {}", error);
  }
  DebugPrint("Initializing extensions...");
  InitializeExtensions();
  if (GetCliArguments().server) {
    RunConsoleServer();
  } else {
    // Whatever the run's result, the program ends normally.
    RunChainFile();
  }
}

}  // namespace

int main(int argc, char** argv) {
  InstallCrashReport();
  const std::string program_path = argc > 0 ? argv[0] : "";
  CheckInstallFolder(program_path);
  ZelphConfig* config = nullptr;
  try {
    ParseCommandLine(argc, argv);
    ChangeToProgramFolder(program_path);
    ValidateCliArguments();
    config = InitializeConfiguration();
    config->SetExtendedMode(GetCliArguments().extended);
    config->SetUnrecognizedCliArgPointers(GetCliArguments().extra_args);
    config->PrintFolderInformation();
    DebugPrint("Initializing logger...");
    InitializeLogger(*config);
    UseCrashReportFolder(*config);
    DebugPrint("Printing local time...");
    PrintLocalTime();
    RunMode(*config);
    DebugPrint("_tmain return 0");
  } catch (const std::exception& e) {
    DebugPrint(fmt::format("handle exception: {}", e.what()));
    ShutdownServer();
    std::string shown = e.what();
    ZELPH_LOG(ZelphSeverityLevel::kError, "{}", shown);
    std::cerr << shown << std::endl;
    if (config != nullptr && !config->GetInitializationExceptionReason().empty()) {
      shown = config->GetInitializationExceptionReason();
      std::cerr << std::endl << shown << std::endl;
    }
    ShowErrorMessageBox(shown);
    std::exit(1);
  } catch (...) {
    // Nothing is known of what failed: a failure, whatever the exception, ends with 1.
    ShutdownServer();
    std::cerr << "Unexpected error" << std::endl;
    ShowErrorMessageBox("Unexpected error");
    return 1;
  }
  zelph::sys::WaitForConsoleControlHandlers(kConsoleHandlersBound);
  return 0;
}
