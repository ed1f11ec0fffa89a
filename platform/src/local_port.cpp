// local_port.cpp
#include "zelph/platform/local_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace zelph::sys {

bool AcceptsLocalConnection(int port) {
  const int socket_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(socket_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(socket_fd);
  return connected;
}

}  // namespace zelph::sys
