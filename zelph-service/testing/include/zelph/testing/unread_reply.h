// unread_reply.h
//
// Test support: a GetData call whose client never reads the reply, as a client that stops
// reading leaves it. The request is sent (with a read of the reply's initial metadata, which
// is what makes gRPC's unary client send it); the reply itself is never asked for, so the
// server cannot finish sending it until the call is cancelled.
//
//   auto unread = std::make_unique<UnreadReply>(stub, request);
//   ... the server holds the reply ...
//   unread.reset();   // cancels the call
//
// Threading: one thread uses an object.
#pragma once

#include <grpcpp/grpcpp.h>

#include <memory>

#include "message/ZelphServiceApiV2.grpc.pb.h"

namespace zelph::testing {

class UnreadReply {
 public:
  UnreadReply(ZelphServiceApiV2::Stub& stub, const GetDataRequest& request)
      : call_(stub.PrepareAsyncGetData(&context_, request, &queue_)) {
    call_->StartCall();
    call_->ReadInitialMetadata(this);
  }
  // Cancels the call and collects the ends of its operations.
  ~UnreadReply() {
    context_.TryCancel();
    GetDataResponse response;
    grpc::Status status;
    call_->Finish(&response, &status, this);
    queue_.Shutdown();
    void* tag = nullptr;
    bool ok = false;
    while (queue_.Next(&tag, &ok)) {
    }
  }
  UnreadReply(const UnreadReply&) = delete;
  UnreadReply& operator=(const UnreadReply&) = delete;

 private:
  grpc::ClientContext context_;
  grpc::CompletionQueue queue_;
  std::unique_ptr<grpc::ClientAsyncResponseReader<GetDataResponse>> call_;
};

}  // namespace zelph::testing
