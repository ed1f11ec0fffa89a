// wait_until.h
//
// Waiting in a test for a state another thread brings about, bounded so that a fault shows
// as a failed assertion instead of a hung test program.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace zelph::testing {

// Waits until `done()` holds; false when it did not within `bound`.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::steady_clock::duration bound = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

}  // namespace zelph::testing
