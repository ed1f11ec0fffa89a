// load_test.cpp
//
// The service under load as an operator meets it: the installed program with the Java demo
// models, and zelph-load's clients evaluating the "Image cleanup" app against it. Many
// clients at once get no failure; a server stopped by SIGTERM in the middle of their load
// ends by itself with exit code 0; a long run of evaluations leaves the server's memory
// and thread count where they were.
//
// The durations are short in CI; set ZELPH_LOAD_SECONDS and ZELPH_SOAK_SECONDS for the long
// forms. The soak prints the evaluations it made and the server's figures.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "process_status.h"
#include "zelph/client/client_session.h"
#include "zelph/testing/program_installation.h"

namespace {

using zelph::load::ProcessStatus;
using zelph::load::ReadProcessStatus;
using zelph::testing::ChildOptions;
using zelph::testing::ChildProcess;
using zelph::testing::ChildResult;
using zelph::testing::ProgramInstallation;
using namespace std::chrono_literals;

double SecondsFromEnvironment(const char* name, double fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && std::atof(text) > 0 ? std::atof(text) : fallback;
}

class LoadTest : public ::testing::Test {
 protected:
  // Each test has a server of its own: the SIGTERM test ends it.
  void SetUp() override {
    installation_ = std::make_unique<ProgramInstallation>(ProgramInstallation::kWithJava);
    // Quiet at warning: a run logs at info, and a child's output waits in a pipe until the
    // test reads it.
    installation_->WriteConfig(
        installation_->Config("warning", ProgramInstallation::DemoSolutionsMember()));
    // The Java VM's young generation is kept small, so that the first round of the soak
    // fills it: until its first collection the VM touches fresh pages of it, and the
    // default one (a share of the machine's memory) takes a minute of this load to fill.
    ChildOptions options = installation_->Options({});
    options.set_environment.emplace_back("JAVA_TOOL_OPTIONS", "-Xmn8m");
    server_ = std::make_unique<ChildProcess>(options);
    const auto channel = zelph::client::MakeChannel(installation_->Address());
    ASSERT_TRUE(channel->WaitForConnected(std::chrono::system_clock::now() + 60s))
        << server_->Wait(1s).err;
  }

  void TearDown() override {
    if (!server_) return;
    server_->Signal(SIGTERM);
    const ChildResult ended = server_->Wait(60s);
    EXPECT_TRUE(ended.exited && ended.exit_code == 0) << ended.err;
  }

  ChildOptions LoadOptions(int clients, double seconds, int width, int height) const {
    const std::string program = ZELPH_LOAD_PROGRAM;
    return ChildOptions(program,
                        {program, "--address", installation_->Address(), "--app", "Image cleanup",
                         "--clients", std::to_string(clients), "--seconds", std::to_string(seconds),
                         "--width", std::to_string(width), "--height", std::to_string(height)});
  }

  ChildResult RunLoad(int clients, double seconds, int width, int height) const {
    ChildProcess load(LoadOptions(clients, seconds, width, height));
    return load.Wait(std::chrono::milliseconds(static_cast<long>(seconds * 1000)) + 120s);
  }

  // The server's status once its thread count has settled at or below `threads` (waiting
  // at most a few seconds for threads that end after their calls).
  ProcessStatus SettledStatus(int threads) const {
    ProcessStatus status = ReadProcessStatus(server_->Pid());
    for (int i = 0; i < 50 && status.threads > threads; ++i) {
      std::this_thread::sleep_for(100ms);
      status = ReadProcessStatus(server_->Pid());
    }
    return status;
  }

  std::unique_ptr<ProgramInstallation> installation_;
  std::unique_ptr<ChildProcess> server_;
};

TEST_F(LoadTest, SixtyFourClientsGetNoFailure) {
  const ChildResult load =
      RunLoad(64, SecondsFromEnvironment("ZELPH_LOAD_SECONDS", 30), 1920, 1080);
  std::cout << load.out;
  EXPECT_TRUE(load.exited && load.exit_code == 0) << load.out << load.err;
  EXPECT_NE(load.out.find("failures: 0\n"), std::string::npos) << load.out;
}

TEST_F(LoadTest, SigtermUnderLoadEndsTheServerWithinItsBound) {
  ChildProcess load(LoadOptions(64, 600, 1920, 1080));
  std::this_thread::sleep_for(5s);
  const auto signalled = std::chrono::steady_clock::now();
  server_->Signal(SIGTERM);
  const ChildResult ended = server_->Wait(60s);
  const auto took = std::chrono::steady_clock::now() - signalled;
  server_.reset();
  EXPECT_TRUE(ended.exited && ended.exit_code == 0) << ended.err;
  // Five seconds of grace for the calls in flight, then the running evaluations are
  // interrupted; what is left is the drain of runs and previews and the process's exit.
  EXPECT_LT(took, 20s);
}

TEST_F(LoadTest, SoakKeepsMemoryAndThreadsFlat) {
  constexpr int kClients = 4;
  // The first round grows what the server keeps for good: connection threads, the threads
  // that wait for calls (as many as processors), the Java VM's heap, the allocator's
  // caches. It has more clients than the soak, so that the waiting threads reach their most.
  ASSERT_EQ(RunLoad(4 * kClients, 3, 320, 240).exit_code, 0);
  const ProcessStatus baseline = ReadProcessStatus(server_->Pid());
  const ChildResult soak =
      RunLoad(kClients, SecondsFromEnvironment("ZELPH_SOAK_SECONDS", 20), 320, 240);
  ASSERT_TRUE(soak.exited && soak.exit_code == 0) << soak.out << soak.err;
  const ProcessStatus after = SettledStatus(baseline.threads);
  std::cout << soak.out << "server before the soak: " << baseline.resident_kb / 1024 << " MB, "
            << baseline.threads << " threads; after: " << after.resident_kb / 1024 << " MB, "
            << after.threads << " threads\n";
  EXPECT_LE(after.threads, baseline.threads);
#if !defined(__SANITIZE_ADDRESS__)
  // The address sanitizer keeps freed memory in quarantine, so only the plain build's
  // figure says anything about growth.
  EXPECT_LT(after.resident_kb - baseline.resident_kb, 50 * 1024);
#endif
}

}  // namespace
