// console_events.cpp
#include "zelph/host/console_events.h"

#include "zelph/host/server.h"
#include "zelph/host/serving_end.h"
#include "zelph/platform/console_control.h"

namespace zelph::host {

bool ConsoleCtrlHandler(int event) {
  switch (event) {
    case sys::kCtrlCEvent:
    case sys::kCtrlBreakEvent:
    case sys::kCtrlCloseEvent:
    case sys::kCtrlLogoffEvent:
    case sys::kCtrlShutdownEvent:
      // A server that was stopped ends in order before the handler returns (serving_end.h).
      if (ShutdownServer()) AwaitServingEnd();
      return true;
    default:
      return false;
  }
}

}  // namespace zelph::host
