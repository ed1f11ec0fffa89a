// reply_send_deadlines.cpp
#include "reply_send_deadlines.h"

#include <grpcpp/server_context.h>

namespace zelph::rpc {

ReplySendDeadlines::ReplySendDeadlines(std::chrono::milliseconds timeout)
    : timeout_(timeout), thread_([this] { CancelExpired(); }) {}

ReplySendDeadlines::~ReplySendDeadlines() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

ReplySendDeadlines::Ticket ReplySendDeadlines::Arm(grpc::ServerContextBase& context) {
  std::lock_guard lock(mutex_);
  const Ticket ticket = next_ticket_++;
  const bool was_empty = armed_.empty();
  armed_.emplace(ticket, Entry{std::chrono::steady_clock::now() + timeout_, &context});
  // A later entry never moves the earliest deadline; only an empty map leaves the thread
  // waiting without one.
  if (was_empty) changed_.notify_all();
  return ticket;
}

void ReplySendDeadlines::Disarm(Ticket ticket) {
  std::lock_guard lock(mutex_);
  armed_.erase(ticket);
}

// The cancellation runs under the lock, so that Disarm waits for it and a context is never
// cancelled after its call has ended. Cancelling only fails the call's pending operations:
// it never waits for the thread that sends the reply.
void ReplySendDeadlines::CancelExpired() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (armed_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const auto earliest = armed_.begin();
    // A copy: the entry may be disarmed while the wait has let go of the lock.
    const std::chrono::steady_clock::time_point deadline = earliest->second.deadline;
    if (std::chrono::steady_clock::now() < deadline) {
      changed_.wait_until(lock, deadline);
      continue;
    }
    earliest->second.context->TryCancel();
    armed_.erase(earliest);
  }
}

}  // namespace zelph::rpc
