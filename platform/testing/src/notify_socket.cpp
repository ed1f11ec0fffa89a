// notify_socket.cpp
#include "zelph/platform/testing/notify_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace zelph::sys::testing {

NotifySocket::NotifySocket(const std::filesystem::path& path) : path_(path.string()) {
  sockaddr_un address{};
  if (path_.size() >= sizeof(address.sun_path)) {
    throw std::system_error(ENAMETOOLONG, std::generic_category(), path_);
  }
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path_.c_str(), path_.size());
  if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    const int error = errno;
    close(fd_);
    throw std::system_error(error, std::generic_category(), "bind " + path_);
  }
}

NotifySocket::~NotifySocket() { close(fd_); }

std::string NotifySocket::Receive(std::chrono::milliseconds timeout) {
  pollfd ready{fd_, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return {};
  char buffer[512];
  const ssize_t length = recv(fd_, buffer, sizeof(buffer), 0);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

}  // namespace zelph::sys::testing
