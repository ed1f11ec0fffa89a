// allocator_release.cpp
#include "zelph/host/allocator_release.h"

#ifdef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
#include <gperftools/malloc_extension.h>
#endif

namespace zelph::host {

void ReleaseFreeMemory() {
#ifdef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
  MallocExtension::instance()->ReleaseFreeMemory();
#endif
}

DeferredMemoryRelease::DeferredMemoryRelease(std::chrono::milliseconds delay)
    : delay_(delay), thread_([this] { Run(); }) {}

DeferredMemoryRelease::~DeferredMemoryRelease() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void DeferredMemoryRelease::Request() {
  {
    std::lock_guard lock(mutex_);
    requested_ = true;
  }
  changed_.notify_all();
}

void DeferredMemoryRelease::Run() {
  std::unique_lock lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return requested_ || stopping_; });
    if (stopping_) return;
    if (changed_.wait_for(lock, delay_, [this] { return stopping_; })) return;
    requested_ = false;
    lock.unlock();
    ReleaseFreeMemory();
    lock.lock();
  }
}

}  // namespace zelph::host
