// service_allocator_test.cpp
//
// The service's executables allocate through tcmalloc, which keeps large freed blocks for the
// next message. A build where it is linked but does not serve malloc and operator new would
// pass every other test, only slower.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string_view>

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
  const auto allocated_bytes = [] {
    size_t bytes = 0;
    EXPECT_TRUE(
        MallocExtension::instance()->GetNumericProperty("generic.current_allocated_bytes", &bytes));
    return bytes;
  };
  // Each allocates a block, calls back while holding it, and frees it.
  const struct {
    std::string_view name;
    std::function<void(const std::function<void()>&)> hold;
  } kCases[] = {
      {"malloc",
       [](const std::function<void()>& while_held) {
         void* volatile block = std::malloc(kBlockBytes);
         ASSERT_NE(block, nullptr);
         while_held();
         std::free(block);
       }},
      {"operator new",
       [](const std::function<void()>& while_held) {
         auto block = std::make_unique<char[]>(kBlockBytes);
         while_held();
         EXPECT_EQ(block[kBlockBytes - 1], 0);
       }},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const size_t before = allocated_bytes();
    c.hold([&] { EXPECT_GE(allocated_bytes(), before + kBlockBytes); });
  }
#endif
}

}  // namespace
}  // namespace zelph
