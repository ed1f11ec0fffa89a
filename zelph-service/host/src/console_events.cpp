// console_events.cpp
#include "zelph/host/console_events.h"

#include "zelph/host/server.h"
#include "zelph/platform/console_control.h"

namespace zelph::host {

bool ConsoleCtrlHandler(int event) {
  switch (event) {
    case sys::kCtrlCEvent:
    case sys::kCtrlBreakEvent:
    case sys::kCtrlCloseEvent:
    case sys::kCtrlLogoffEvent:
    case sys::kCtrlShutdownEvent:
      ShutdownServer();
      return true;
    default:
      return false;
  }
}

}  // namespace zelph::host
