// large_buffer.cpp
//
// Anonymous mappings trimmed to a 2 MB boundary and advised for transparent huge pages.
#include "zelph/platform/large_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace zelph::sys {
namespace {

constexpr size_t kHugePageBytes = size_t{2} << 20;

size_t PageBytes() {
  static const size_t bytes = [] {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<size_t>(page) : size_t{4096};
  }();
  return bytes;
}

// `size` rounded up to whole pages, or 0 when that overflows.
size_t MappedBytes(size_t size) {
  const size_t page = PageBytes();
  return size > SIZE_MAX - page ? 0 : (size + page - 1) / page * page;
}

}  // namespace

char* AllocateLargeBuffer(size_t size) {
  const size_t length = MappedBytes(size);
  if (size == 0 || length == 0 || length > SIZE_MAX - kHugePageBytes) return nullptr;
  // Over-map by one huge page, then cut both ends so the buffer starts on a 2 MB boundary:
  // the kernel backs only aligned 2 MB ranges with huge pages. The tail keeps page
  // granularity, so no memory is spent past the last page asked for.
  const size_t reserved = length + kHugePageBytes;
  void* mapped =
      mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const uintptr_t end = start + reserved;
  if (end > aligned + length)
    munmap(reinterpret_cast<void*>(aligned + length), end - aligned - length);
  auto* data = reinterpret_cast<char*>(aligned);
  // Only advice: a kernel without huge pages refuses it and the buffer still works.
  madvise(data, length, MADV_HUGEPAGE);
  return data;
}

void FreeLargeBuffer(char* data, size_t size) {
  if (data != nullptr) munmap(data, MappedBytes(size));
}

}  // namespace zelph::sys
