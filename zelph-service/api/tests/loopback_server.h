// loopback_server.h
//
// An in-process gRPC server on a free port of 127.0.0.1, with client stubs connected to it,
// for tests and benchmarks that drive a service through the generated API. Server and stubs
// apply the service's transport options, as the program and its clients do, unless a test
// asks for gRPC's defaults to show what a side without them refuses.
#pragma once

#include <grpcpp/grpcpp.h>

#include <memory>

#include "message/ZelphServiceApiV2.grpc.pb.h"

namespace zelph::testing {

// The settings of one side of a connection.
enum class Transport {
  kService,       // zelph::ApplyTransportOptions
  kGrpcDefaults,  // nothing applied: gRPC receives at most 4 MB
};

class LoopbackServer {
 public:
  // Starts serving `service`, which must outlive this object. Throws std::runtime_error
  // when the server cannot start.
  explicit LoopbackServer(grpc::Service& service, Transport transport = Transport::kService);
  // Shuts the server down, waiting for calls in flight.
  ~LoopbackServer();

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }

  // A new channel to the server, for calls that the generated stub cannot make (requests
  // as raw bytes through grpc::GenericStub).
  std::shared_ptr<grpc::Channel> NewChannel(Transport transport = Transport::kService) const;
  // A new stub on its own channel. Stubs may be used from several threads at once.
  std::unique_ptr<ZelphServiceApiV2::Stub> NewStub(Transport transport = Transport::kService) const;

 private:
  int port_ = 0;
  std::unique_ptr<grpc::Server> server_;
};

}  // namespace zelph::testing
