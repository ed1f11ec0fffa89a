// server_bounds.h
//
// The bounds a server of the service puts on what clients can take, from the "server" keys
// of config.json: the calls handled at once, the calls one connection may have open, the
// time a reply has to reach its client, and the bytes of requests that gRPC may buffer.
//
//   grpc::ServerBuilder builder;
//   zelph::ApplyTransportOptions(builder);
//   zelph::rpc::ApplyServerBounds(zelph::rpc::ConfiguredServerBounds(*config), builder, service);
//
// A call past the handler cap is refused with RESOURCE_EXHAUSTED "calls in progress would
// exceed N" by the service's handlers; a call counts from its handler's start to its return,
// so a client that waits for each answer is never refused while fewer calls than the cap are
// being handled. A reply not sent within the send timeout has its call cancelled, which frees
// its budget and its thread.
#pragma once

#include <chrono>
#include <cstdint>

class ZelphConfig;
class ZelphServiceV2Impl;

namespace grpc {
class ServerBuilder;
}  // namespace grpc

namespace zelph::rpc {

struct ServerBounds {
  int max_handler_threads;
  int max_streams_per_connection;
  std::chrono::seconds reply_send_timeout;
  std::uint64_t max_request_bytes_in_flight;
};

ServerBounds ConfiguredServerBounds(const ZelphConfig& config);

// Sets the bounds on `builder` and on `service`, which the builder is to serve; call before
// BuildAndStart, once per service.
void ApplyServerBounds(const ServerBounds& bounds, grpc::ServerBuilder& builder,
                       ZelphServiceV2Impl& service);

}  // namespace zelph::rpc
