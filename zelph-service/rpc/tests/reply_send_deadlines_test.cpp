// reply_send_deadlines_test.cpp
//
// ReplySendDeadlines alone: a reply disarmed while the watch waits for its deadline leaves
// nothing behind that the watch reads afterwards (the address sanitizer shows a read of a
// disarmed entry). The cancellation of a late reply needs a real call: see
// call_bounds_test.cpp.
#include <grpcpp/server_context.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "reply_send_deadlines.h"

namespace zelph::rpc {
namespace {

using namespace std::chrono_literals;

TEST(ReplySendDeadlinesTest, AReplyDisarmedDuringTheWaitIsNeverReadAgain) {
  grpc::ServerContext context;
  {
    ReplySendDeadlines deadlines(1h);
    const ReplySendDeadlines::Ticket ticket = deadlines.Arm(context);
    // The watch now waits for this entry's deadline.
    std::this_thread::sleep_for(50ms);
    deadlines.Disarm(ticket);
  }  // wakes the watch, which must not look at the entry it waited for
}

}  // namespace
}  // namespace zelph::rpc
