// loopback_server.cpp
//
// Server and channel set-up of the in-process loopback server.
#include "loopback_server.h"

#include <chrono>
#include <stdexcept>
#include <string>

#include "zelph/api/transport_options.h"

namespace zelph::testing {

LoopbackServer::LoopbackServer(grpc::Service& service, Transport transport) {
  grpc::ServerBuilder builder;
  if (transport == Transport::kService) ApplyTransportOptions(builder);
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

std::shared_ptr<grpc::Channel> LoopbackServer::NewChannel(Transport transport) const {
  grpc::ChannelArguments arguments;
  if (transport == Transport::kService) ApplyTransportOptions(arguments);
  return grpc::CreateCustomChannel("127.0.0.1:" + std::to_string(port_),
                                   grpc::InsecureChannelCredentials(), arguments);
}

std::unique_ptr<ZelphServiceApiV2::Stub> LoopbackServer::NewStub(Transport transport) const {
  return ZelphServiceApiV2::NewStub(NewChannel(transport));
}

}  // namespace zelph::testing
