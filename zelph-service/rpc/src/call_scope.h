// call_scope.h
//
// The call that a gRPC server thread serves, seen from the handlers: gRPC calls hooks before
// and after each synchronous call on the thread that serves it, and after the handler has
// returned, the thread stays in the call until gRPC has sent the reply (or given up on it).
// So the hook after the call is where a reply's bytes leave the ReplyBudget, and the hook
// before it sets the call's wait limit for project locks: its client's deadline and
// cancellation (zelph/projects/wait_limit.h).
//
// A service with bounds on its calls (call_bounds.h) arms, when a handler returns, the time
// its reply has to be sent; the hook after the call disarms it.
//
// The hooks are process-wide and gRPC accepts them only before it makes its first server:
// InstallCallScopes runs when the first service is made, which is before its server.
#pragma once

#include <cstdint>

namespace grpc {
class ServerContextBase;
}  // namespace grpc

namespace zelph::rpc {

class ReplyBudget;
class ReplySendDeadlines;

// Installs the hooks once per process; later calls do nothing. Must run before the process
// makes its first gRPC server.
void InstallCallScopes();

// Keeps `bytes` taken from `budget` until the call served on this thread ends, then gives
// them back. False, keeping nothing, when this thread serves no call (a handler called
// directly). `budget` must outlive the call.
bool HoldForServedCall(ReplyBudget& budget, std::uint64_t bytes);

// Arms the time that the reply of the call served on this thread has to be sent (`context`
// is that call's), until the call ends; nothing when this thread serves no call. Call once
// per call, when its handler returns. `deadlines` must outlive the call.
void ArmReplySendDeadline(ReplySendDeadlines& deadlines, grpc::ServerContextBase& context);

}  // namespace zelph::rpc
