#include "zelph/platform/console_control.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <set>
#include <sstream>
#include <string>

#include "zelph/platform/testing/child_process.h"

namespace {

using zelph::sys::testing::ChildOptions;
using zelph::sys::testing::ChildProcess;
using zelph::sys::testing::ChildResult;

ChildProcess StartChild(const std::string& grace_ms, const std::string& mode = "") {
  std::vector<std::string> arguments{CONSOLE_CHILD, grace_ms};
  if (!mode.empty()) arguments.push_back(mode);
  return ChildProcess(ChildOptions(CONSOLE_CHILD, arguments));
}

// Thread ids of the "main" and "event <n> thread" lines, by event (-1 for main).
std::map<int, std::string> ThreadsByEvent(const std::string& out) {
  std::map<int, std::string> threads;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string first, second, third, fourth;
    words >> first >> second >> third >> fourth;
    if (first == "main") threads[-1] = second;
    if (first == "event" && third == "thread") threads[std::stoi(second)] = fourth;
  }
  return threads;
}

// Ctrl+C blocks in its handler until Ctrl+Break has been handled: that finishes only when
// each event runs on a thread of its own. The shutdown event lets main end normally.
TEST(ConsoleControlTest, EachSignalRunsItsEventOnAThreadOfItsOwn) {
  ChildProcess child = StartChild("10000");
  ASSERT_TRUE(child.WaitForOutput("ready"));
  child.Signal(SIGINT);
  ASSERT_TRUE(child.WaitForOutput("event 0 waiting"));
  child.Signal(SIGQUIT);
  ASSERT_TRUE(child.WaitForOutput("event 0 thread"));
  child.Signal(SIGTERM);
  const ChildResult result = child.Wait();

  EXPECT_TRUE(result.exited) << "signal " << result.signal;
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out.find("gave up"), std::string::npos);
  const std::map<int, std::string> threads = ThreadsByEvent(result.out);
  ASSERT_EQ(threads.size(), 4u) << result.out;  // main, events 0, 1 and 6
  std::set<std::string> distinct;
  for (const auto& [event, thread] : threads) distinct.insert(thread);
  EXPECT_EQ(distinct.size(), 4u) << result.out;
}

// Close and shutdown end the process: by the program itself when it can, else by the signal
// once the grace period is over. A declined event ends it at once.
TEST(ConsoleControlTest, UnhandledOrUnfinishedEventsEndTheProcessByTheirSignal) {
  struct Case {
    int signal;
    const char* mode;
    const char* event_line;
  };
  const Case kCases[] = {
      {SIGHUP, "", "event 2 thread"},
      {SIGQUIT, "decline", "event 1 thread"},
      {SIGTERM, "decline", "event 6 thread"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.signal);
    ChildProcess child = StartChild("200", c.mode);
    ASSERT_TRUE(child.WaitForOutput("ready"));
    child.Signal(c.signal);
    const ChildResult result = child.Wait();
    EXPECT_EQ(result.signal, c.signal) << result.out;
    EXPECT_NE(result.out.find(c.event_line), std::string::npos) << result.out;
  }
}

}  // namespace
