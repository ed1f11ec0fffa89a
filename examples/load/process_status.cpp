// process_status.cpp
//
// /proc/<pid>/status read line by line; the two fields are "VmRSS:  1234 kB" and
// "Threads:  12".
#include "process_status.h"

#include <fstream>
#include <sstream>
#include <string>

namespace zelph::load {

ProcessStatus ReadProcessStatus(int pid) {
  ProcessStatus status;
  std::ifstream file("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    std::string key;
    fields >> key;
    if (key == "VmRSS:") fields >> status.resident_kb;
    if (key == "Threads:") fields >> status.threads;
  }
  return status;
}

}  // namespace zelph::load
