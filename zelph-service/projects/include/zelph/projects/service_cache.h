// service_cache.h
//
// The project cache: port data stored under keys shaped like the tail of an object URL
// below "/session:{}/project:{}". Clients' input waits here for a run, workers' outputs and
// previews stay here after it. Key forms:
//
//   "/cache:{port id}"                   data of a port after a run (when enabled)
//   "/input:{system name}"               input set by a client
//   "/data:{system name}"                input, second choice (never written by the service)
//   "/output:{system name}"              the "output" port of an output model
//   "/worker:{worker}/output:{port}"     every port of a worker after its run
//   "/worker:{worker}/input:{port}"      input for one port, set by a client
//   "/statistic:{object id}"             erased with the object's statistic
//   "/preview:{worker id}"               the preview of a worker
//
// Port data is shared, never copied: a port, a cache entry and a request may hold the same
// IPortData object. Threading as ShardedMap.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "zelph/model/port_data.h"
#include "zelph/projects/sharded_map.h"

// One cache entry: the data (may be empty) and when it was stored. A default DataEx (no
// data, stamp 0) stands for a missing entry.
struct DataEx {
  DataEx() = default;
  // Stamps the current time.
  explicit DataEx(std::shared_ptr<IPortData> data);

  // Microseconds of the system clock since the program was loaded. Follows the system
  // clock, so it moves when the system time is changed.
  static std::int64_t Now();
  // The same stamp for a time of the system clock, such as when a statistic was rendered.
  static std::int64_t StampOf(std::chrono::system_clock::time_point time);

  std::shared_ptr<IPortData> data;
  std::int64_t modified = 0;
};

class ServiceCache : public ShardedMap<DataEx> {};
