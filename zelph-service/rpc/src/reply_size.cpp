// reply_size.cpp
#include "zelph/rpc/reply_size.h"

#include <fmt/format.h>
#include <google/protobuf/io/coded_stream.h>

#include <algorithm>

#include "call_scope.h"
#include "zelph/rpc/reply_budget.h"

namespace zelph::rpc {

std::uint64_t ElementBytes(std::uint64_t body_bytes) {
  return 1 + google::protobuf::io::CodedOutputStream::VarintSize64(body_bytes) + body_bytes;
}

ReplySize::ReplySize(ReplyBudget& budget)
    : budget_(budget), limit_bytes_(std::min(kMaxReplyBytes, budget.Limit() / 2)) {}

ReplySize::~ReplySize() { GiveBack(); }

grpc::Status ReplySize::Add(std::uint64_t bytes) {
  if (bytes > limit_bytes_ - bytes_) {
    GiveBack();
    return grpc::Status(grpc::StatusCode::RESOURCE_EXHAUSTED,
                        fmt::format("reply would exceed {} bytes", limit_bytes_));
  }
  if (!budget_.Take(2 * bytes)) {
    GiveBack();
    return grpc::Status(grpc::StatusCode::RESOURCE_EXHAUSTED,
                        fmt::format("replies in flight would exceed {} bytes", budget_.Limit()));
  }
  bytes_ += bytes;
  return grpc::Status::OK;
}

grpc::Status ReplySize::Reserve(std::uint64_t bytes) {
  grpc::Status status = Add(bytes);
  if (status.ok()) reserved_bytes_ += bytes;
  return status;
}

grpc::Status ReplySize::Settle(std::uint64_t counted_bytes) {
  const std::uint64_t reserved = std::exchange(reserved_bytes_, 0);
  if (counted_bytes >= reserved) return Add(counted_bytes - reserved);
  budget_.Give(2 * (reserved - counted_bytes));
  bytes_ -= reserved - counted_bytes;
  return grpc::Status::OK;
}

void ReplySize::HoldUntilSent() {
  const std::uint64_t bytes = std::exchange(bytes_, 0);
  reserved_bytes_ = 0;
  if (bytes != 0 && !HoldForServedCall(budget_, 2 * bytes)) budget_.Give(2 * bytes);
}

void ReplySize::GiveBack() {
  const std::uint64_t bytes = std::exchange(bytes_, 0);
  reserved_bytes_ = 0;
  if (bytes != 0) budget_.Give(2 * bytes);
}

}  // namespace zelph::rpc
