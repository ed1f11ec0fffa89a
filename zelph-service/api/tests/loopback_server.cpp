// loopback_server.cpp
//
// Server and channel set-up of the in-process loopback server.
#include "loopback_server.h"

#include <chrono>
#include <climits>
#include <stdexcept>
#include <string>

namespace zelph::testing {

LoopbackServer::LoopbackServer(grpc::Service& service) {
  grpc::ServerBuilder builder;
  builder.SetMaxReceiveMessageSize(INT_MAX);
  builder.SetMaxSendMessageSize(INT_MAX);
  builder.AddListeningPort("127.0.0.1:0", grpc::InsecureServerCredentials(), &port_);
  builder.RegisterService(&service);
  server_ = builder.BuildAndStart();
  if (!server_ || port_ == 0) {
    throw std::runtime_error("loopback server did not start");
  }
}

LoopbackServer::~LoopbackServer() {
  server_->Shutdown(std::chrono::system_clock::now() + std::chrono::seconds(5));
}

std::unique_ptr<ZelphServiceApiV2::Stub> LoopbackServer::NewStub() const {
  grpc::ChannelArguments arguments;
  arguments.SetMaxReceiveMessageSize(-1);
  arguments.SetMaxSendMessageSize(-1);
  auto channel = grpc::CreateCustomChannel("127.0.0.1:" + std::to_string(port_),
                                           grpc::InsecureChannelCredentials(), arguments);
  return ZelphServiceApiV2::NewStub(channel);
}

}  // namespace zelph::testing
