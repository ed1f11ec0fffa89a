// notify_socket.h
//
// Test support: the service manager's end of the notify socket, a datagram socket bound to a
// path, to hand to a child as NOTIFY_SOCKET and read its status reports from.
//
//   NotifySocket notify(folder.Path() / "notify");
//   options.set_environment = {{"NOTIFY_SOCKET", notify.Path()}};
//   EXPECT_EQ(notify.Receive(), "STATUS=running");
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

  // The next datagram, or "" when none comes within `timeout`. Fillers are skipped.
  std::string Receive(std::chrono::milliseconds timeout = std::chrono::seconds(30));

  // Fills the socket's queue with filler datagrams, so that a child's next report blocks in
  // its send, and with it the child's thread, until AdmitReports or Receive makes room.
  // Throws std::system_error when the fillers cannot be sent.
  void HoldReports();
  // Makes room for `count` more reports by taking as many fillers out of the queue.
  void AdmitReports(int count);

 private:
  std::string path_;
  int fd_ = -1;
  int filler_fd_ = -1;  // the fillers' sender, -1 until HoldReports
};

}  // namespace zelph::sys::testing
