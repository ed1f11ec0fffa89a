// child_process.cpp
//
// fork and execve with pipes. Everything the child needs (argv, environment) is built before
// the fork, because between fork and exec a multi-threaded parent's child may only make
// async-signal-safe calls.
#include "zelph/platform/testing/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>
#include <thread>

extern char** environ;

namespace zelph::sys::testing {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

std::vector<std::string> ChildEnvironment(const ChildOptions& options) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const std::string& name : options.unset_environment) variables.erase(name);
  for (const auto& [name, value] : options.set_environment) variables[name] = value;
  std::vector<std::string> environment;
  for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
  return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const ChildOptions& options) {
  std::vector<std::string> arguments = options.arguments;
  if (arguments.empty()) arguments.push_back(options.program);
  std::vector<std::string> environment = ChildEnvironment(options);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);

  int input[2], out[2], err[2];
  if (pipe2(input, O_CLOEXEC) != 0) ThrowErrno("pipe");
  if (pipe2(out, O_CLOEXEC) != 0) ThrowErrno("pipe");
  if (pipe2(err, O_CLOEXEC) != 0) ThrowErrno("pipe");
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) ThrowErrno("fork");
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit no_core_files{0, 0};
    setrlimit(RLIMIT_CORE, &no_core_files);
    dup2(input[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0) {
      _exit(127);
    }
    execve(options.program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(input[0]);
  close(out[1]);
  close(err[1]);
  input_fd_ = input[1];
  out_fd_ = out[0];
  err_fd_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (!reaped_) {
    kill(pid_, SIGKILL);
    Reap(0);
  }
  CloseFd(input_fd_);
  CloseFd(out_fd_);
  CloseFd(err_fd_);
}

bool ChildProcess::Pump(std::chrono::milliseconds timeout) {
  pollfd fds[2];
  nfds_t count = 0;
  if (out_fd_ >= 0) fds[count++] = {out_fd_, POLLIN, 0};
  if (err_fd_ >= 0) fds[count++] = {err_fd_, POLLIN, 0};
  if (count == 0) return false;
  if (poll(fds, count, static_cast<int>(timeout.count())) <= 0) return true;
  for (nfds_t i = 0; i < count; ++i) {
    if (fds[i].revents == 0) continue;
    const bool is_out = fds[i].fd == out_fd_;
    char buffer[4096];
    const ssize_t length = read(fds[i].fd, buffer, sizeof(buffer));
    if (length > 0) {
      (is_out ? result_.out : result_.err).append(buffer, static_cast<size_t>(length));
    } else if (length == 0 || errno != EINTR) {
      CloseFd(is_out ? out_fd_ : err_fd_);
    }
  }
  return true;
}

bool ChildProcess::Reap(int options) {
  int status = 0;
  pid_t done;
  do {
    done = waitpid(pid_, &status, options);
  } while (done < 0 && errno == EINTR);
  if (done != pid_) return false;
  reaped_ = true;
  if (WIFEXITED(status)) {
    result_.exited = true;
    result_.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result_.signal = WTERMSIG(status);
  }
  return true;
}

bool ChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  return WaitFor(&ChildResult::out, text, timeout);
}

bool ChildProcess::WaitForError(const std::string& text, std::chrono::milliseconds timeout) {
  return WaitFor(&ChildResult::err, text, timeout);
}

bool ChildProcess::WaitFor(std::string ChildResult::*stream, const std::string& text,
                           std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while ((result_.*stream).find(text) == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !Pump(std::min(left, std::chrono::milliseconds(100)))) return false;
  }
  return true;
}

void ChildProcess::DrainOutput() {
  // Pump reads a piece of each pipe per call and answers true also when nothing was there.
  size_t read = 0;
  do {
    read = result_.out.size() + result_.err.size();
    if (!Pump(std::chrono::milliseconds(0))) return;
  } while (result_.out.size() + result_.err.size() != read);
}

void ChildProcess::WriteInput(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = write(input_fd_, text.data() + done, text.size() - done);
    if (written <= 0) return;
    done += static_cast<size_t>(written);
  }
}

void ChildProcess::Signal(int signal_number) {
  if (!reaped_) kill(pid_, signal_number);
}

ChildResult ChildProcess::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  CloseFd(input_fd_);
  while (!reaped_) {
    if (Clock::now() >= deadline) {
      result_.timed_out = true;
      kill(pid_, SIGKILL);
      Reap(0);
      break;
    }
    // With both pipes closed there is nothing to read while the child ends.
    if (!Pump(std::chrono::milliseconds(20)))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Reap(WNOHANG);
  }
  // Collect what is still in the pipes, without waiting for a process that inherited them.
  const auto drain_deadline = Clock::now() + std::chrono::seconds(1);
  while (Clock::now() < drain_deadline) {
    pollfd ready[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (poll(ready, 2, 0) <= 0 || !Pump(std::chrono::milliseconds(0))) break;
  }
  return result_;
}

ChildResult RunChild(const ChildOptions& options, std::chrono::milliseconds timeout) {
  ChildProcess child(options);
  return child.Wait(timeout);
}

}  // namespace zelph::sys::testing
