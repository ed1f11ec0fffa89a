// crash_library.cpp
//
// A library that crash_child loads at run time and crashes in: its exported entry calls a
// function the library does not export, which stores to an unmapped address.
#include <cstdint>

namespace {

volatile std::uintptr_t unmapped_address = 16;

__attribute__((noinline)) void HiddenStore() {
  *reinterpret_cast<volatile int*>(unmapped_address) = 1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void CrashInLibrary() {
  HiddenStore();
  // Keeps the call a call, so the entry stays on the stack.
  asm volatile("");
}
