// process_info.cpp
//
// ExecutablePath, GetLocalTime and ChangeWorkingDirectory over /proc, clock_gettime and
// chdir.
#include "zelph/platform/process_info.h"

#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

namespace zelph::sys {

std::string ExecutablePath() {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

LocalTime GetLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return {local.tm_year + 1900,
          local.tm_mon + 1,
          local.tm_mday,
          local.tm_hour,
          local.tm_min,
          local.tm_sec,
          static_cast<int>(now.tv_nsec / 1000000)};
}

int ChangeWorkingDirectory(const std::string& folder) {
  return chdir(folder.c_str()) == 0 ? 0 : errno;
}

}  // namespace zelph::sys
