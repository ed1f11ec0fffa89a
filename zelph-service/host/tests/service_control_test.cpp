// In-process tests of the service's control handler.
#include <gtest/gtest.h>

#include "zelph/host/service_mode.h"
#include "zelph/platform/service_dispatcher.h"

namespace {

namespace sys = zelph::sys;
using zelph::host::ServiceControlHandler;
using zelph::host::ServiceStopEvent;

// Stop and shutdown set the stop event, other controls only answer. The event is there before
// the service entry has ever run, so a control that comes early is kept.
TEST(ServiceControlTest, StopAndShutdownSetTheStopEvent) {
  struct Case {
    int control;
    bool stops;
  };
  const Case kCases[] = {
      {sys::kServiceControlStop, true},
      {sys::kServiceControlShutdown, true},
      {sys::kServiceControlInterrogate, false},
      {2, false},  // pause: not accepted, never delivered, still answered
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.control);
    ServiceStopEvent().Reset();
    EXPECT_EQ(ServiceControlHandler(c.control, 0, nullptr, nullptr), 0);
    EXPECT_EQ(ServiceStopEvent().IsSet(), c.stops);
  }
}

}  // namespace
