// call_bounds.cpp
#include "call_bounds.h"

#include <fmt/format.h>

#include "call_scope.h"

namespace zelph::rpc {

HandledCall::HandledCall(CallBounds* bounds, grpc::ServerContextBase* context)
    : bounds_(context != nullptr ? bounds : nullptr),
      context_(context),
      refused_(bounds_ != nullptr && !bounds_->slots.TryTake()) {}

HandledCall::~HandledCall() {
  if (bounds_ == nullptr) return;
  if (!refused_) bounds_->slots.Give();
  ArmReplySendDeadline(bounds_->send_deadlines, *context_);
}

grpc::Status HandledCall::Refusal() const {
  return grpc::Status(grpc::StatusCode::RESOURCE_EXHAUSTED,
                      fmt::format("calls in progress would exceed {}", bounds_->slots.Cap()));
}

}  // namespace zelph::rpc
