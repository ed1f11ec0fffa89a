// startup_probe.cpp
//
// The program's start-up up to the choice of its mode, in the program's order, with the
// program's failure path: the exception text on standard error, then the configuration's
// recorded failure reason (which replaces the text of the message box), exit code 1. Prints
// "start-up done" and logs "debug logging on" at debug level when every step passed. Tests
// copy it into a temporary installation as "zelph-service".
#include <exception>
#include <iostream>
#include <string>

#include "zelph/config/zelph_config.h"
#include "zelph/host/command_line.h"
#include "zelph/host/command_line_checks.h"
#include "zelph/host/configuration_startup.h"
#include "zelph/host/crash_protection.h"
#include "zelph/host/debug_print.h"
#include "zelph/host/extensions.h"
#include "zelph/host/message_boxes.h"
#include "zelph/host/working_folder.h"
#include "zelph/logger/log.h"

int main(int argc, char** argv) {
  using namespace zelph::host;
  InstallCrashReport();
  const std::string program_path = argv[0];
  CheckInstallFolder(program_path);
  ZelphConfig* config = nullptr;
  try {
    ParseCommandLine(argc, argv);
    ChangeToProgramFolder(program_path);
    ValidateCliArguments();
    config = InitializeConfiguration();
    config->SetExtendedMode(GetCliArguments().extended);
    config->SetUnrecognizedCliArgPointers(GetCliArguments().extra_args);
    DebugPrint("Initializing logger...");
    InitializeLogger(*config);
    DebugPrint("Initializing extensions...");
    InitializeExtensions();
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "debug logging on");
    std::cout << "start-up done" << std::endl;
    return 0;
  } catch (const std::exception& e) {
    std::string shown = e.what();
    std::cerr << shown << std::endl;
    if (config != nullptr && !config->GetInitializationExceptionReason().empty()) {
      shown = config->GetInitializationExceptionReason();
      std::cerr << std::endl << shown << std::endl;
    }
    ShowErrorMessageBox(shown);
    return 1;
  }
}
