// reply_send_deadlines_test.cpp
//
// ReplySendDeadlines alone: a reply disarmed while the watch waits for its deadline leaves
// nothing behind that the watch reads afterwards (the address sanitizer shows a read of a
// disarmed entry), and an armed reply past its time has its call cancelled.
#include <grpcpp/server_context.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "reply_send_deadlines.h"
#include "zelph/testing/wait_until.h"

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
  EXPECT_FALSE(context.IsCancelled());
}

TEST(ReplySendDeadlinesTest, AReplyPastItsTimeHasItsCallCancelled) {
  grpc::ServerContext late;
  grpc::ServerContext in_time;
  ReplySendDeadlines deadlines(20ms);
  deadlines.Arm(late);
  const ReplySendDeadlines::Ticket ticket = deadlines.Arm(in_time);
  deadlines.Disarm(ticket);
  EXPECT_TRUE(testing::WaitUntil([&] { return late.IsCancelled(); }));
  EXPECT_FALSE(in_time.IsCancelled());
}

}  // namespace
}  // namespace zelph::rpc
