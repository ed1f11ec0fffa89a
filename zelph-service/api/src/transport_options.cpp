// transport_options.cpp
//
// Message size limits of servers and channels.
#include "zelph/api/transport_options.h"

#include <grpcpp/server_builder.h>
#include <grpcpp/support/channel_arguments.h>

#include <climits>

namespace zelph {

void ApplyTransportOptions(grpc::ServerBuilder& builder) {
  // The largest message gRPC can carry: its length travels as a 32-bit int.
  builder.SetMaxReceiveMessageSize(INT_MAX);
  builder.SetMaxSendMessageSize(INT_MAX);
}

void ApplyTransportOptions(grpc::ChannelArguments& arguments) {
  arguments.SetMaxReceiveMessageSize(-1);
  arguments.SetMaxSendMessageSize(-1);
}

}  // namespace zelph
