// child_process.h
//
// Test support: a program run as a child process with its standard streams in pipes, a
// chosen argv[0], environment changes and a working directory. Every child is killed and
// reaped by the time its ChildProcess is destroyed, so nothing a test starts outlives it;
// a child whose test process dies is killed by the kernel.
//
//   ChildProcess child(ChildOptions(path, {path, "--help"}));
//   ChildResult result = child.Wait(std::chrono::seconds(30));
//   EXPECT_EQ(result.exit_code, 0);
//
// Threading: one test thread uses a ChildProcess.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace zelph::sys::testing {

struct ChildOptions {
  explicit ChildOptions(std::string program_file, std::vector<std::string> argv = {})
      : program(std::move(program_file)), arguments(std::move(argv)) {}

  std::string program;                 // the file to run
  std::vector<std::string> arguments;  // argv, argv[0] included; {program} when empty
  std::vector<std::pair<std::string, std::string>> set_environment;
  std::vector<std::string> unset_environment;
  std::string working_directory;  // the test's own when empty
};

struct ChildResult {
  bool exited = false;  // ended by exit: exit_code holds its status
  int exit_code = -1;
  int signal = 0;  // the signal that ended it, 0 when it exited
  bool timed_out = false;
  std::string out;
  std::string err;
};

inline constexpr std::chrono::milliseconds kChildTimeout{30000};

class ChildProcess {
 public:
  // Starts the child. Throws std::system_error when it cannot be started.
  explicit ChildProcess(const ChildOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // Reads the child's output until its standard output holds `text`; false after `timeout`
  // or when the child has closed its output first.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout = kChildTimeout);
  // The same for the child's standard error.
  bool WaitForError(const std::string& text, std::chrono::milliseconds timeout = kChildTimeout);
  // Reads what the child has written so far, without waiting: a child that writes much
  // while a test talks to it (a server logging every call) would otherwise block once its
  // pipes are full.
  void DrainOutput();
  // Writes to the child's standard input.
  void WriteInput(const std::string& text);
  void Signal(int signal_number);
  // Waits for the child to end, killing it after `timeout`, and returns all it wrote.
  ChildResult Wait(std::chrono::milliseconds timeout = kChildTimeout);

 private:
  // Reads what is available within `timeout`; false when both output pipes are closed.
  bool Pump(std::chrono::milliseconds timeout);
  bool Reap(int options);
  bool WaitFor(std::string ChildResult::*stream, const std::string& text,
               std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int input_fd_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  bool reaped_ = false;
  ChildResult result_;
};

// Runs the child to its end (at most `timeout`).
ChildResult RunChild(const ChildOptions& options,
                     std::chrono::milliseconds timeout = kChildTimeout);

}  // namespace zelph::sys::testing
