// reply_send_deadlines.h
//
// ReplySendDeadlines: the time a server gives each reply to reach its client once the
// handler has returned. A client that stops reading (a window of zero bytes) and sets no
// deadline would otherwise keep the reply's budget and the thread that sends it for as long
// as its connection lives; a reply still unsent after the timeout has its call cancelled,
// which ends the send, so its thread returns and its budget is given back.
//
// One thread per object waits for the earliest deadline. Every reply has the same timeout,
// so replies armed later expire later and the entries stay in arming order.
//
// Threading: Arm and Disarm may be called from any thread. Lifetime: a context must stay
// valid until Disarm of its ticket has returned; the object must outlive every armed call.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

namespace grpc {
class ServerContextBase;
}  // namespace grpc

namespace zelph::rpc {

class ReplySendDeadlines {
 public:
  using Ticket = std::uint64_t;

  explicit ReplySendDeadlines(std::chrono::milliseconds timeout);
  // Joins the waiting thread; cancels nothing that is still armed.
  ~ReplySendDeadlines();
  ReplySendDeadlines(const ReplySendDeadlines&) = delete;
  ReplySendDeadlines& operator=(const ReplySendDeadlines&) = delete;

  // Cancels the call of `context` when the timeout passes before Disarm of the ticket.
  Ticket Arm(grpc::ServerContextBase& context);
  // Once it returns, the context of `ticket` is never touched again (a cancellation under
  // way has finished).
  void Disarm(Ticket ticket);

 private:
  struct Entry {
    std::chrono::steady_clock::time_point deadline;
    grpc::ServerContextBase* context;
  };

  void CancelExpired();

  const std::chrono::milliseconds timeout_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<Ticket, Entry> armed_;  // by ticket, which is also by deadline
  Ticket next_ticket_ = 0;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once the members it uses exist
};

}  // namespace zelph::rpc
