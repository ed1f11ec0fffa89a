// call_scope.cpp
#include "call_scope.h"

#include <grpcpp/server.h>
#include <grpcpp/server_context.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "reply_send_deadlines.h"
#include "zelph/projects/wait_limit.h"
#include "zelph/rpc/reply_budget.h"

namespace zelph::rpc {
namespace {

// The limit of a served call: its context's deadline and cancellation.
class CallWaitLimit : public WaitLimit {
 public:
  explicit CallWaitLimit(grpc::ServerContext& context)
      : context_(context), deadline_(context.deadline()) {}
  std::chrono::system_clock::time_point Deadline() const override { return deadline_; }
  bool IsCancelled() const override { return context_.IsCancelled(); }

 private:
  grpc::ServerContext& context_;
  const std::chrono::system_clock::time_point deadline_;
};

struct Hold {
  ReplyBudget* budget;
  std::uint64_t bytes;
};

// What the call served on this thread holds; engaged between the two hooks.
struct ServedCall {
  std::optional<CallWaitLimit> limit;
  std::vector<Hold> holds;
  ReplySendDeadlines* send_deadlines = nullptr;
  ReplySendDeadlines::Ticket send_ticket = 0;
};

thread_local ServedCall served_call;

class CallScopes : public grpc::Server::GlobalCallbacks {
 public:
  void PreSynchronousRequest(grpc::ServerContext* context) override {
    served_call.limit.emplace(*context);
    SetCurrentWaitLimit(&*served_call.limit);
  }
  // The handler has returned and gRPC is done with its reply.
  void PostSynchronousRequest(grpc::ServerContext*) override {
    SetCurrentWaitLimit(nullptr);
    served_call.limit.reset();
    // The cancellation of an unsent reply, if any, has ended before the context goes.
    if (served_call.send_deadlines != nullptr) {
      served_call.send_deadlines->Disarm(served_call.send_ticket);
    }
    served_call.send_deadlines = nullptr;
    for (const Hold& hold : std::exchange(served_call.holds, {})) hold.budget->Give(hold.bytes);
  }
};

}  // namespace

void InstallCallScopes() {
  static std::once_flag installed;
  // gRPC keeps the object for the rest of the process.
  std::call_once(installed, [] { grpc::Server::SetGlobalCallbacks(new CallScopes()); });
}

bool HoldForServedCall(ReplyBudget& budget, std::uint64_t bytes) {
  if (!served_call.limit) return false;
  served_call.holds.push_back({&budget, bytes});
  return true;
}

void ArmReplySendDeadline(ReplySendDeadlines& deadlines, grpc::ServerContextBase& context) {
  if (!served_call.limit) return;
  served_call.send_deadlines = &deadlines;
  served_call.send_ticket = deadlines.Arm(context);
}

}  // namespace zelph::rpc
