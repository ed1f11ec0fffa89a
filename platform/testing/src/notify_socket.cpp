// notify_socket.cpp
#include "zelph/platform/testing/notify_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>

namespace zelph::sys::testing {
namespace {

// No report of a service looks like this.
constexpr char kFiller[] = "\x01filler";

}  // namespace

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

NotifySocket::~NotifySocket() {
  close(fd_);
  if (filler_fd_ >= 0) close(filler_fd_);
}

std::string NotifySocket::Receive(std::chrono::milliseconds timeout) {
  for (;;) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return {};
    char buffer[512];
    const ssize_t length = recv(fd_, buffer, sizeof(buffer), 0);
    if (length <= 0) return {};
    std::string datagram(buffer, static_cast<size_t>(length));
    if (datagram != kFiller) return datagram;
  }
}

void NotifySocket::HoldReports() {
  if (filler_fd_ < 0) filler_fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (filler_fd_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path_.c_str(), path_.size());
  // The kernel refuses a datagram once the receiver's queue is full (net.unix.max_dgram_qlen):
  // from then on a blocking sender waits.
  while (sendto(filler_fd_, kFiller, sizeof(kFiller) - 1, MSG_DONTWAIT,
                reinterpret_cast<const sockaddr*>(&address), sizeof(address)) >= 0) {
  }
  if (errno != EAGAIN) throw std::system_error(errno, std::generic_category(), "send filler");
}

void NotifySocket::AdmitReports(int count) {
  char buffer[512];
  for (int i = 0; i < count; ++i) {
    const ssize_t length = recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (length < 0 || std::string(buffer, static_cast<size_t>(length)) != kFiller) {
      throw std::logic_error("AdmitReports: no filler left to take out");
    }
  }
}

}  // namespace zelph::sys::testing
