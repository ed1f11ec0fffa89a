// call_bounds.h
//
// CallBounds: what the calls of a bounded service share: the handler slots (at most so many
// handlers run at once) and the time a reply has to reach its client (ReplySendDeadlines).
// HandledCall: a handler's hold on its call's slot, from the handler's start to its return;
// every handler makes one first, before it reads or changes anything:
//
//   const zelph::rpc::HandledCall call(call_bounds_.get(), context);
//   if (call.Refused()) return call.Refusal();
//
// The slot is given back when the handler returns, before gRPC sends its reply, so a client
// that waits for each answer finds its previous call's slot free, whichever of gRPC's
// threads is still finishing that call. The reply's send time starts at the same moment.
//
// Threading: a HandledCall lives on the thread of its handler; CallBounds is shared by all.
#pragma once

#include <grpcpp/support/status.h>

#include <chrono>

#include "handler_slots.h"
#include "reply_send_deadlines.h"

namespace grpc {
class ServerContextBase;
}  // namespace grpc

namespace zelph::rpc {

struct CallBounds {
  CallBounds(int max_handler_threads, std::chrono::seconds reply_send_timeout)
      : slots(max_handler_threads), send_deadlines(reply_send_timeout) {}
  HandlerSlots slots;
  ReplySendDeadlines send_deadlines;
};

class HandledCall {
 public:
  // Takes a slot of `bounds` for the call of `context`. Bounds nothing when `bounds` or
  // `context` is null (a service without bounds, or a handler called directly).
  HandledCall(CallBounds* bounds, grpc::ServerContextBase* context);
  // Gives the slot back and arms the reply's send time.
  ~HandledCall();
  HandledCall(const HandledCall&) = delete;
  HandledCall& operator=(const HandledCall&) = delete;

  // True when every slot was taken: the handler answers Refusal() and does nothing else.
  bool Refused() const { return refused_; }
  // RESOURCE_EXHAUSTED "calls in progress would exceed N".
  grpc::Status Refusal() const;

 private:
  CallBounds* const bounds_;
  grpc::ServerContextBase* const context_;
  const bool refused_;
};

}  // namespace zelph::rpc
