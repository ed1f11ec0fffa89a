// reply_size.h
//
// ReplySize: what one call's reply holds, counted as the handler puts it in. No reply may
// pass what protobuf can serialise, kMaxReplyBytes (2 GB - 1): gRPC aborts the process on a
// larger one. Nor may the replies of all calls together pass the service's ReplyBudget: a
// reply stays in memory until gRPC has sent it, beside the serialised copy that gRPC sends,
// so it takes twice its size from the budget. A reply that would pass either is refused with
// RESOURCE_EXHAUSTED before it is handed to gRPC, and the call then holds nothing.
//
//   ReplySize reply(budget);
//   ... response->add_data() ...
//   if (grpc::Status status = reply.CountElements(response->data()); !status.ok()) {
//     return status;
//   }
//   return FinishReply(reply, status);   // kept until sent when OK
//
// Elements are counted as protobuf encodes a repeated field numbered 1 to 15: a tag byte, the
// length, the element. Threading: one handler thread uses a counter.
#pragma once

#include <grpcpp/support/status.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace zelph::rpc {

class ReplyBudget;

// Bytes of a length-delimited element of `body_bytes` in a field numbered 1 to 15.
std::uint64_t ElementBytes(std::uint64_t body_bytes);

class ReplySize {
 public:
  static constexpr std::uint64_t kMaxReplyBytes = INT_MAX;

  explicit ReplySize(ReplyBudget& budget);
  // Gives back to the budget what it still holds.
  ~ReplySize();
  ReplySize(const ReplySize&) = delete;
  ReplySize& operator=(const ReplySize&) = delete;

  // The most bytes the reply may have: kMaxReplyBytes, or half the budget when that is less.
  std::uint64_t Limit() const { return limit_bytes_; }
  std::uint64_t Bytes() const { return bytes_; }

  // Counts `bytes` more. RESOURCE_EXHAUSTED "reply would exceed {Limit} bytes" or "replies in
  // flight would exceed {budget} bytes" when they do not fit; the counter then holds nothing.
  grpc::Status Add(std::uint64_t bytes);
  // Counts `bytes` ahead of an element about to be built, so that a large element is refused
  // before it is made. The next CountElements settles the difference to what was built.
  grpc::Status Reserve(std::uint64_t bytes);

  // Counts a reply built whole, of `bytes` bytes, against what was reserved for it.
  grpc::Status CountWhole(std::uint64_t bytes) { return Settle(bytes); }

  // Counts the elements of a repeated field that were added since the last call.
  template <typename Elements>
  grpc::Status CountElements(const Elements& elements) {
    std::uint64_t bytes = 0;
    for (int i = counted_elements_; i < elements.size(); ++i) {
      bytes += ElementBytes(BodyBytes(elements.Get(i)));
    }
    counted_elements_ = elements.size();
    return Settle(bytes);
  }

  // Hands what it holds to the call served on this thread, which gives it back once gRPC has
  // finished with the reply (call_scope.h); outside a served call (a handler called
  // directly), gives it back now.
  void HoldUntilSent();

 private:
  static std::uint64_t BodyBytes(const std::string& text) { return text.size(); }
  template <typename Message>
  static std::uint64_t BodyBytes(const Message& message) {
    return message.ByteSizeLong();
  }
  grpc::Status Settle(std::uint64_t counted_bytes);
  void GiveBack();

  ReplyBudget& budget_;
  const std::uint64_t limit_bytes_;
  std::uint64_t bytes_ = 0;           // counted so far, reservations included
  std::uint64_t reserved_bytes_ = 0;  // of bytes_, taken ahead by Reserve
  int counted_elements_ = 0;
};

// The end of a handler that counted its reply into `reply`: `status`, the reply's bytes kept
// until gRPC has sent it when it answers OK. gRPC sends no reply with another status, and the
// bytes go back when `reply` goes.
inline grpc::Status FinishReply(ReplySize& reply, grpc::Status status) {
  if (status.ok()) reply.HoldUntilSent();
  return status;
}

// Room beside the request for what a reply built whole adds of its own: a new id, a rebuilt
// URL's kind words.
inline constexpr std::uint64_t kWholeReplyRoomBytes = 256;

// The frame of a handler whose reply is built whole by `work` and holds at most what it
// repeats of `request` and kWholeReplyRoomBytes beside it. That much is reserved before
// `work` runs, so that a reply that does not fit (past its limit, or past the budget while
// other replies wait to be sent) is refused with RESOURCE_EXHAUSTED before `work` changes
// anything; the reservation then settles to the reply built, which gives back the rest.
template <typename Request, typename Response, typename Work>
grpc::Status AnswerWhole(ReplyBudget& budget, const Request& request, Response& response,
                         Work&& work) {
  ReplySize reply(budget);
  grpc::Status status = reply.Reserve(request.ByteSizeLong() + kWholeReplyRoomBytes);
  if (status.ok()) status = work();
  if (status.ok()) status = reply.CountWhole(response.ByteSizeLong());
  return FinishReply(reply, std::move(status));
}

}  // namespace zelph::rpc
