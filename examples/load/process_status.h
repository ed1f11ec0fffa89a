// process_status.h
//
// What the load tool and the process tests read of a running process from /proc: its
// resident memory and its thread count.
#pragma once

namespace zelph::load {

struct ProcessStatus {
  long resident_kb = -1;  // VmRSS; -1 when the process cannot be read
  int threads = -1;       // Threads
};

// The status of process `pid`, read from /proc/<pid>/status.
ProcessStatus ReadProcessStatus(int pid);

}  // namespace zelph::load
