// service_cache.cpp
#include "zelph/projects/service_cache.h"

#include <chrono>
#include <utility>

namespace {

// Read once, while the program's static objects are initialised.
const std::chrono::system_clock::time_point kLoadTime = std::chrono::system_clock::now();

}  // namespace

DataEx::DataEx(std::shared_ptr<IPortData> data) : data(std::move(data)), modified(Now()) {}

std::int64_t DataEx::Now() { return StampOf(std::chrono::system_clock::now()); }

std::int64_t DataEx::StampOf(std::chrono::system_clock::time_point time) {
  return std::chrono::duration_cast<std::chrono::microseconds>(time - kLoadTime).count();
}
