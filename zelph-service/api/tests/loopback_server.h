// loopback_server.h
//
// An in-process gRPC server on a free port of 127.0.0.1, with a client stub connected to it,
// for tests and benchmarks that drive a service through the generated API. Message sizes
// are unlimited both ways, as the real server sets them, so that matrices of any size pass.
#pragma once

#include <grpcpp/grpcpp.h>

#include <memory>

#include "message/ZelphServiceApiV2.grpc.pb.h"

namespace zelph::testing {

class LoopbackServer {
 public:
  // Starts serving `service`, which must outlive this object. Throws std::runtime_error
  // when the server cannot start.
  explicit LoopbackServer(grpc::Service& service);
  // Shuts the server down, waiting for calls in flight.
  ~LoopbackServer();

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int port() const { return port_; }

  // A new stub on its own channel. Stubs may be used from several threads at once.
  std::unique_ptr<ZelphServiceApiV2::Stub> NewStub() const;

 private:
  int port_ = 0;
  std::unique_ptr<grpc::Server> server_;
};

}  // namespace zelph::testing
