// allocator_release.h
//
// Handing the memory the allocator keeps back to the system. The service's allocator keeps
// freed blocks for the next message (cmake/ZelphServiceAllocator.cmake), which is what makes
// large messages fast, but after a burst of large replies it would keep their memory for good.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zelph::host {

// Returns the allocator's free memory to the system. With the system allocator (sanitizer
// builds, ZELPH_SERVICE_ALLOCATOR=system), which unmaps large blocks when they are freed, it
// does nothing. Any thread.
void ReleaseFreeMemory();

// ReleaseFreeMemory a moment after it is asked for, on a thread of its own. A reply's
// serialised copy is freed with its call's stream, after gRPC has reported the call's end
// (which is when its budget drains): released at once, that memory would stay with the
// allocator. Requests made while one waits are served by it.
class DeferredMemoryRelease {
 public:
  explicit DeferredMemoryRelease(std::chrono::milliseconds delay);
  // Stops the thread; a release still waiting is dropped.
  ~DeferredMemoryRelease();
  DeferredMemoryRelease(const DeferredMemoryRelease&) = delete;
  DeferredMemoryRelease& operator=(const DeferredMemoryRelease&) = delete;

  // Any thread; returns at once.
  void Request();

 private:
  void Run();

  const std::chrono::milliseconds delay_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool requested_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last: it starts once the members it uses exist
};

}  // namespace zelph::host
