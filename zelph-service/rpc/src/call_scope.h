// call_scope.h
//
// The call that a gRPC server thread serves, seen from the handlers: gRPC calls hooks before
// and after each synchronous call on the thread that serves it, and after the handler has
// returned, the thread stays in the call until gRPC has sent the reply (or given up on it).
// So the hook after the call is where a reply's bytes leave the ReplyBudget, and the hook
// before it sets the call's wait limit for project locks: its client's deadline and
// cancellation (zelph/projects/wait_limit.h).
//
// The hooks are process-wide and gRPC accepts them only before it makes its first server:
// InstallCallScopes runs when the first service is made, which is before its server.
#pragma once

#include <cstdint>

namespace zelph::rpc {

class ReplyBudget;

// Installs the hooks once per process; later calls do nothing. Must run before the process
// makes its first gRPC server.
void InstallCallScopes();

// Keeps `bytes` taken from `budget` until the call served on this thread ends, then gives
// them back. False, keeping nothing, when this thread serves no call (a handler called
// directly). `budget` must outlive the call.
bool HoldForServedCall(ReplyBudget& budget, std::uint64_t bytes);

}  // namespace zelph::rpc
