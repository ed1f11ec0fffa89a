// service_allocator_test.cpp
//
// The service's executables allocate through tcmalloc, which keeps large freed blocks for the
// next message. A build where it is linked but does not serve malloc and operator new would
// pass every other test, only slower.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <memory>

#ifdef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
#include <gperftools/malloc_extension.h>
#endif

namespace zelph {
namespace {

constexpr size_t kBlockBytes = size_t{25} << 20;

TEST(ServiceAllocatorTest, LargeBlocksComeFromTcmalloc) {
#ifndef ZELPH_SERVICE_ALLOCATOR_TCMALLOC
  GTEST_SKIP() << "built without tcmalloc (a sanitizer build or ZELPH_SERVICE_ALLOCATOR=system)";
#else
  // Ownership is asked of the block itself: a process-wide counter moves with whatever other
  // threads (gRPC's, from earlier tests) free meanwhile.
  const auto owned = [](const void* block) {
    return MallocExtension::instance()->GetOwnership(block) == MallocExtension::kOwned;
  };
  void* block = std::malloc(kBlockBytes);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(owned(block)) << "malloc";
  std::free(block);
  const auto array = std::make_unique<char[]>(kBlockBytes);
  EXPECT_TRUE(owned(array.get())) << "operator new";
#endif
}

}  // namespace
}  // namespace zelph
