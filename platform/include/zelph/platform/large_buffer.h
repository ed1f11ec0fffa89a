// large_buffer.h
//
// Buffers of many megabytes (whole images and tensors) taken straight from the kernel, 2 MB
// aligned and advised for transparent huge pages. A fresh buffer costs one zeroed page per
// fault; with 2 MB pages a 48 MB copy takes 24 faults instead of 12288, which is most of
// what a deep copy of a large matrix used to spend.
#pragma once

#include <cstddef>

namespace zelph::sys {

// Zero-filled, 2 MB aligned pages of at least `size` bytes (size > 0), or nullptr when the
// address space is exhausted. Huge pages are used where the kernel allows them
// (/sys/kernel/mm/transparent_hugepage/enabled "always" or "madvise"); elsewhere the buffer
// is an ordinary anonymous mapping. Safe to call from any thread.
char* AllocateLargeBuffer(size_t size);

// Returns a buffer from AllocateLargeBuffer; `size` must be the size it was asked for.
// nullptr is ignored. Safe to call from any thread.
void FreeLargeBuffer(char* data, size_t size);

}  // namespace zelph::sys
