// transport_options.cpp
//
// Message size limits of servers and channels, and the threads a server keeps waiting for calls.
#include "zelph/api/transport_options.h"

#include <grpcpp/server_builder.h>
#include <grpcpp/support/channel_arguments.h>

#include <algorithm>
#include <climits>
#include <thread>

namespace zelph {

void ApplyTransportOptions(grpc::ServerBuilder& builder) {
  // The largest message gRPC can carry: its length travels as a 32-bit int.
  builder.SetMaxReceiveMessageSize(INT_MAX);
  builder.SetMaxSendMessageSize(INT_MAX);
  // gRPC's synchronous server makes the thread that takes a call its handler and starts
  // another to wait for the next; an answered call's thread ends when enough threads wait
  // already. At gRPC's default of two waiting threads, concurrent clients made the server
  // start and end a thread for nearly every call, and those starts and the kernel's release
  // of the threads' stacks on every processor held eight clients to about twice the rate of
  // one. The waiting threads stay once started (one per processor at most); the server's
  // thread cap bounds them with the handlers.
  builder.SetSyncServerOption(grpc::ServerBuilder::SyncServerOption::MAX_POLLERS,
                              MostWaitingServerThreads());
}

int MostWaitingServerThreads() {
  return static_cast<int>(std::max(2U, std::thread::hardware_concurrency()));
}

void ApplyTransportOptions(grpc::ChannelArguments& arguments) {
  arguments.SetMaxReceiveMessageSize(-1);
  arguments.SetMaxSendMessageSize(-1);
}

}  // namespace zelph
