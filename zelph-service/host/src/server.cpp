// server.cpp
#include "zelph/host/server.h"

#include <fmt/format.h>
#include <grpcpp/grpcpp.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "zelph/api/transport_options.h"
#include "zelph/config/zelph_config.h"
#include "zelph/host/allocator_release.h"
#include "zelph/logger/log.h"
#include "zelph/platform/local_port.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/rpc/server_bounds.h"
#include "zelph/rpc/zelph_service.h"

namespace zelph::host {
namespace {

// Destroyed in reverse order at exit: the server before the service it calls into, and the
// service before the release its budget asks for.
std::unique_ptr<DeferredMemoryRelease> kMemoryRelease;
std::unique_ptr<ZelphServiceV2Impl> kServiceImpl;
std::unique_ptr<grpc::Server> kServer;
// What a signal or service-control thread sees: no server, or the fully started one.
std::atomic<grpc::Server*> kPublishedServer{nullptr};

constexpr std::chrono::seconds kShutdownGrace{5};
// Long enough for gRPC to free the streams of the calls whose replies drained the budget.
constexpr std::chrono::milliseconds kMemoryReleaseDelay{500};
// An interrupt may reach a chain before its run has begun; it is repeated at this pace.
constexpr std::chrono::milliseconds kInterruptRepeat{100};

// While the server shuts down, waits out the grace and then interrupts every run in progress
// (those the service's background work counts: asynchronous runs and synchronous evaluations
// alike, whether or not their project is still in the store) until the shutdown is done. A
// synchronous evaluation runs on its request thread, and the server's shutdown waits for
// every request thread however long after the grace, so a long run would otherwise keep the
// process alive.
class RunInterrupter {
 public:
  explicit RunInterrupter(std::chrono::system_clock::time_point grace_end)
      : thread_([this, grace_end] {
          std::unique_lock lock(mutex_);
          if (done_changed_.wait_until(lock, grace_end, [this] { return done_; })) return;
          do {
            lock.unlock();
            ServiceBackgroundTasks().InterruptRuns();
            lock.lock();
          } while (!done_changed_.wait_for(lock, kInterruptRepeat, [this] { return done_; }));
        }) {}
  ~RunInterrupter() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_changed_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;
  std::thread thread_;  // last: it starts once the members it uses exist
};

std::runtime_error CannotStart(int port) {
  return std::runtime_error(
      fmt::format("Can't build and start server, does server port: {} available?", port));
}

}  // namespace

void StartServer() {
  const ZelphConfig* config = ZelphConfig::GetInstance();
  const int port = config->GetPort();
  // Port 0 would let gRPC pick any free port and a value past 65535 would be probed on
  // another port than the one listened on: neither is the port a client was told about.
  if (port < 1 || port > 65535) throw CannotStart(port);
  if (sys::AcceptsLocalConnection(port)) {
    throw std::runtime_error(fmt::format(
        "Server can't use port {} for communitation: it is already in use.\nProbably the "
        "server is already running...",
        port));
  }
  ServiceBackgroundTasks().SetMaxRuns(static_cast<std::size_t>(config->GetMaxRuns()));
  kMemoryRelease = std::make_unique<DeferredMemoryRelease>(kMemoryReleaseDelay);
  kServiceImpl = std::make_unique<ZelphServiceV2Impl>(config->GetMaxReplyBytesInFlight(),
                                                      [] { kMemoryRelease->Request(); });

  const std::string address = config->GetHost() + ":" + std::to_string(port);
  grpc::ServerBuilder builder;
  ApplyTransportOptions(builder);
  rpc::ApplyServerBounds(rpc::ConfiguredServerBounds(*config), builder, *kServiceImpl);
  builder.AddListeningPort(address, grpc::InsecureServerCredentials());
  builder.RegisterService(kServiceImpl.get());
  kServer = builder.BuildAndStart();
  if (!kServer) throw CannotStart(port);
  kPublishedServer.store(kServer.get(), std::memory_order_release);
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Server starts listening on {}", address);
}

bool ShutdownServer() noexcept {
  grpc::Server* server = kPublishedServer.load(std::memory_order_acquire);
  if (server == nullptr) return false;
  const auto deadline = std::chrono::system_clock::now() + kShutdownGrace;
  std::unique_ptr<RunInterrupter> interrupter;
  try {
    interrupter = std::make_unique<RunInterrupter>(deadline);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Runs will not be interrupted at shutdown: {}", e.what());
  }
  server->Shutdown(deadline);
  return true;
}

void WaitServer() {
  grpc::Server* server = kPublishedServer.load(std::memory_order_acquire);
  if (server != nullptr) server->Wait();
}

}  // namespace zelph::host
