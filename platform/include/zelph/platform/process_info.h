// process_info.h
//
// What the process knows about itself and its surroundings: the path of its program file,
// the local wall-clock time and its working directory.
#pragma once

#include <string>

namespace zelph::sys {

// The absolute path of the running program file, resolved by the kernel (symbolic links
// followed); empty when the kernel cannot tell.
std::string ExecutablePath();

// The wall-clock time in the machine's time zone, to the millisecond.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};
LocalTime GetLocalTime();

// Makes `folder` the working directory of the process. 0 on success, else the errno value
// of the failure (an empty folder gives ENOENT).
int ChangeWorkingDirectory(const std::string& folder);

}  // namespace zelph::sys
