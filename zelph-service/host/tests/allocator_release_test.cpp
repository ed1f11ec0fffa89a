// allocator_release_test.cpp
//
// The deferred release of the allocator's free memory: asked for once or many times, the
// memory that freed large blocks left with the allocator goes back to the system.
#include "zelph/host/allocator_release.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <thread>

#ifdef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
#include <gperftools/malloc_extension.h>
#endif

namespace zelph::host {
namespace {

#ifdef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
constexpr size_t kBlockBytes = size_t{64} << 20;

size_t FreeBytesKept() {
  size_t bytes = 0;
  MallocExtension::instance()->GetNumericProperty("tcmalloc.pageheap_free_bytes", &bytes);
  return bytes;
}

// Leaves a large freed block with the allocator.
void FreeALargeBlock() {
  void* block = std::malloc(kBlockBytes);
  ASSERT_NE(block, nullptr);
  static_cast<volatile char*>(block)[0] = 1;
  std::free(block);
  ASSERT_GE(FreeBytesKept(), kBlockBytes);
}

bool KeptFreeBytesDropBelow(size_t bytes) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (FreeBytesKept() >= bytes) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}
#endif

TEST(DeferredMemoryReleaseTest, RequestsReturnTheFreeMemoryToTheSystem) {
#ifndef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
  GTEST_SKIP() << "the system allocator returns large blocks itself";
#else
  DeferredMemoryRelease release(std::chrono::milliseconds(10));
  for (const int requests : {1, 5}) {
    SCOPED_TRACE(requests);
    FreeALargeBlock();
    for (int i = 0; i < requests; ++i) release.Request();
    EXPECT_TRUE(KeptFreeBytesDropBelow(kBlockBytes));
  }
#endif
}

}  // namespace
}  // namespace zelph::host
