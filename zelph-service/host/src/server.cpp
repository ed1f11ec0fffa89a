// server.cpp
#include "zelph/host/server.h"

#include <arpa/inet.h>
#include <fmt/format.h>
#include <grpcpp/grpcpp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "zelph/api/transport_options.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/log.h"
#include "zelph/rpc/zelph_service.h"

namespace zelph::host {
namespace {

// Destroyed in reverse order at exit: the server before the service it calls into.
std::unique_ptr<ZelphServiceV2Impl> kServiceImpl;
std::unique_ptr<grpc::Server> kServer;
// What a signal or service-control thread sees: no server, or the fully started one.
std::atomic<grpc::Server*> kPublishedServer{nullptr};

constexpr std::chrono::seconds kShutdownGrace{5};

// Whether something accepts a connection on 127.0.0.1 at `port`, whatever host the server
// is configured to listen on.
bool IsLocalPortTaken(int port) {
  const int socket_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(socket_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(socket_fd);
  return connected;
}

std::runtime_error CannotStart(int port) {
  return std::runtime_error(
      fmt::format("Can't build and start server, does server port: {} available?", port));
}

}  // namespace

void StartServer() {
  const ZelphConfig* config = ZelphConfig::GetInstance();
  const int port = config->GetPort();
  // Port 0 would let gRPC pick any free port and a value past 65535 would be probed on
  // another port than the one listened on: neither is the port a client was told about.
  if (port < 1 || port > 65535) throw CannotStart(port);
  if (IsLocalPortTaken(port)) {
    throw std::runtime_error(fmt::format(
        "Server can't use port {} for communitation: it is already in use.\nProbably the "
        "server is already running...",
        port));
  }
  kServiceImpl = std::make_unique<ZelphServiceV2Impl>();

  const std::string address = config->GetHost() + ":" + std::to_string(port);
  grpc::ServerBuilder builder;
  ApplyTransportOptions(builder);
  builder.AddListeningPort(address, grpc::InsecureServerCredentials());
  builder.RegisterService(kServiceImpl.get());
  kServer = builder.BuildAndStart();
  if (!kServer) throw CannotStart(port);
  kPublishedServer.store(kServer.get(), std::memory_order_release);
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Server starts listening on {}", address);
}

void ShutdownServer() noexcept {
  grpc::Server* server = kPublishedServer.load(std::memory_order_acquire);
  if (server == nullptr) return;
  server->Shutdown(std::chrono::system_clock::now() + kShutdownGrace);
}

void WaitServer() {
  grpc::Server* server = kPublishedServer.load(std::memory_order_acquire);
  if (server != nullptr) server->Wait();
}

}  // namespace zelph::host
