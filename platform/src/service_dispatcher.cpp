// service_dispatcher.cpp
//
// The dispatcher's main-thread loop polls a signalfd for SIGTERM and an eventfd by which
// status reports and the end of the service wake it. Controls queue up in arrival order and
// leave the queue only when the last status report accepts the first of them.
#include "zelph/platform/service_dispatcher.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

namespace zelph::sys {

class ServiceRegistration {
 public:
  std::string service_name;
  int notify_socket = -1;
  sockaddr_un notify_address{};
  socklen_t notify_address_length = 0;
  int wake_fd = -1;

  std::mutex mutex;  // guards the members below
  ServiceControlHandlerFunction handler = nullptr;
  void* context = nullptr;
  int controls_accepted = 0;
  bool stopped = false;
  bool service_ended = false;
  std::deque<int> pending_controls;

  void Wake() const {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_fd, &one, sizeof(one));
  }
};

namespace {

// The running dispatcher, or null. Registration and status reports find it here, so a
// stale handle is recognised by address without being dereferenced.
std::mutex active_mutex;
ServiceRegistration* active = nullptr;

// Fills the address from NOTIFY_SOCKET: a path, or '@' and the name of an abstract socket.
bool ParseNotifyAddress(const char* text, ServiceRegistration& registration) {
  if (text == nullptr) return false;
  const size_t length = std::strlen(text);
  sockaddr_un& address = registration.notify_address;
  if (length < 2 || length > sizeof(address.sun_path) || (text[0] != '/' && text[0] != '@')) {
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, text, length);
  if (text[0] == '@') address.sun_path[0] = '\0';
  registration.notify_address_length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
  return true;
}

// "STOPPING=1" is what systemd acts on; the status line is for the reader of "systemctl
// status". "READY=1" is sent by NotifyServiceReady, not with the running report.
std::string NotifyMessage(int state) {
  switch (state) {
    case kServiceStopped:
      return "STOPPING=1\nSTATUS=stopped";
    case kServiceStartPending:
      return "STATUS=start pending";
    case kServiceStopPending:
      return "STOPPING=1\nSTATUS=stop pending";
    case kServiceRunning:
      return "STATUS=running";
    case kServiceContinuePending:
      return "STATUS=continue pending";
    case kServicePausePending:
      return "STATUS=pause pending";
    case kServicePaused:
      return "STATUS=paused";
    default:
      return {};
  }
}

bool Accepts(int controls_accepted, int control) {
  switch (control) {
    case kServiceControlStop:
      return (controls_accepted & kServiceAcceptStop) != 0;
    case kServiceControlShutdown:
      return (controls_accepted & kServiceAcceptShutdown) != 0;
    default:
      return true;
  }
}

std::vector<std::string> ServiceArguments(const std::string& service_name) {
  std::vector<std::string> arguments{service_name};
  if (const char* text = std::getenv(kServiceArgumentsVariable)) {
    std::istringstream words(text);
    for (std::string word; words >> word;) arguments.push_back(word);
  }
  return arguments;
}

// Calls the handler for every held control that the service accepts now, in arrival order.
void DeliverControls(ServiceRegistration& registration) {
  for (;;) {
    std::unique_lock lock(registration.mutex);
    if (registration.stopped || registration.service_ended) {
      registration.pending_controls.clear();
      return;
    }
    if (registration.pending_controls.empty() || registration.handler == nullptr ||
        !Accepts(registration.controls_accepted, registration.pending_controls.front())) {
      return;
    }
    const int control = registration.pending_controls.front();
    registration.pending_controls.pop_front();
    const ServiceControlHandlerFunction handler = registration.handler;
    void* const context = registration.context;
    lock.unlock();
    handler(control, 0, nullptr, context);
  }
}

// Reads every queued SIGTERM into the control queue.
void ReadStopSignals(int signal_fd, ServiceRegistration& registration) {
  signalfd_siginfo info{};
  while (read(signal_fd, &info, sizeof(info)) == static_cast<ssize_t>(sizeof(info))) {
    std::lock_guard lock(registration.mutex);
    registration.pending_controls.push_back(kServiceControlStop);
  }
}

void DrainWakes(int wake_fd) {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t read_bytes = read(wake_fd, &count, sizeof(count));
}

// Sends one notify datagram; 0 or the errno value.
int SendNotification(const ServiceRegistration& registration, const std::string& message) {
  if (sendto(registration.notify_socket, message.data(), message.size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr*>(&registration.notify_address),
             registration.notify_address_length) < 0) {
    return errno;
  }
  return 0;
}

// Closes the descriptors it was given, whatever happens in between.
class FileDescriptors {
 public:
  ~FileDescriptors() {
    for (int fd : fds_) close(fd);
  }
  int Add(int fd) {
    if (fd >= 0) fds_.push_back(fd);
    return fd;
  }

 private:
  std::vector<int> fds_;
};

}  // namespace

int RunServiceControlDispatcher(const std::string& service_name, ServiceMainFunction service_main) {
  ServiceRegistration registration;
  registration.service_name = service_name;
  if (!ParseNotifyAddress(std::getenv("NOTIFY_SOCKET"), registration)) {
    return kErrorFailedServiceControllerConnect;
  }
  // Declared before the registration is published: it is withdrawn before they close.
  FileDescriptors descriptors;
  {
    std::lock_guard lock(active_mutex);
    if (active != nullptr) return kErrorServiceAlreadyRunning;
    active = &registration;
  }
  struct Deactivate {
    ~Deactivate() {
      std::lock_guard lock(active_mutex);
      active = nullptr;
    }
  } deactivate;
  registration.notify_socket = descriptors.Add(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (registration.notify_socket < 0) return errno;
  registration.wake_fd = descriptors.Add(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (registration.wake_fd < 0) return errno;

  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  if (const int error = pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr); error != 0) {
    return error;
  }
  const int signal_fd = descriptors.Add(signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK));
  if (signal_fd < 0) return errno;

  std::vector<std::string> arguments = ServiceArguments(service_name);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  std::thread service;
  try {
    service = std::thread([&] {
      service_main(static_cast<int>(arguments.size()), argv.data());
      {
        std::lock_guard lock(registration.mutex);
        registration.service_ended = true;
      }
      registration.Wake();
    });
  } catch (const std::system_error& e) {
    return e.code().value();
  }

  pollfd watched[] = {{signal_fd, POLLIN, 0}, {registration.wake_fd, POLLIN, 0}};
  for (;;) {
    if (poll(watched, 2, -1) < 0 && errno != EINTR) break;
    if (watched[0].revents & POLLIN) ReadStopSignals(signal_fd, registration);
    if (watched[1].revents & POLLIN) DrainWakes(registration.wake_fd);
    DeliverControls(registration);
    std::lock_guard lock(registration.mutex);
    if (registration.service_ended) break;
  }
  service.join();
  return 0;
}

ServiceStatusHandle RegisterServiceControlHandler(const std::string& service_name,
                                                  ServiceControlHandlerFunction handler,
                                                  void* context, int& error) {
  std::lock_guard active_lock(active_mutex);
  if (active == nullptr || active->service_name != service_name) {
    error = kErrorServiceDoesNotExist;
    return nullptr;
  }
  {
    std::lock_guard lock(active->mutex);
    active->handler = handler;
    active->context = context;
  }
  active->Wake();
  error = 0;
  return active;
}

int SetServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status) {
  std::lock_guard active_lock(active_mutex);
  if (handle == nullptr || handle != active) return kErrorInvalidHandle;
  const std::string message = NotifyMessage(status.current_state);
  if (message.empty()) return kErrorInvalidData;
  if (const int error = SendNotification(*handle, message)) return error;
  {
    std::lock_guard lock(handle->mutex);
    handle->controls_accepted = status.controls_accepted;
    if (status.current_state == kServiceStopped) handle->stopped = true;
  }
  handle->Wake();
  return 0;
}

int NotifyServiceReady(ServiceStatusHandle handle) {
  std::lock_guard active_lock(active_mutex);
  if (handle == nullptr || handle != active) return kErrorInvalidHandle;
  return SendNotification(*handle, "READY=1");
}

}  // namespace zelph::sys
