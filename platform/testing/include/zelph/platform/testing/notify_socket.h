// notify_socket.h
//
// Test support: the service manager's end of the notify socket, a datagram socket bound to a
// path, to hand to a child as NOTIFY_SOCKET and read its status reports from.
//
//   NotifySocket notify(folder.Path() / "notify");
//   options.set_environment = {{"NOTIFY_SOCKET", notify.Path()}};
//   EXPECT_EQ(notify.Receive(), "READY=1\nSTATUS=running");
//
// Threading: one test thread uses a socket.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace zelph::sys::testing {

class NotifySocket {
 public:
  // Binds the socket at `path`. Throws std::system_error when it cannot.
  explicit NotifySocket(const std::filesystem::path& path);
  ~NotifySocket();
  NotifySocket(const NotifySocket&) = delete;
  NotifySocket& operator=(const NotifySocket&) = delete;

  const std::string& Path() const { return path_; }

  // The next datagram, or "" when none comes within `timeout`.
  std::string Receive(std::chrono::milliseconds timeout = std::chrono::seconds(30));

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace zelph::sys::testing
