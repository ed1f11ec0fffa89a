// client_batch.h
//
// Concurrent clients for the benchmarks of the served service: a batch in which every client
// makes the same number of calls of one method on its own stub, all clients at once, each
// call timed; and the percentile of the gathered latencies.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "service_harness.h"

namespace zelph::testing {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Every stub of `stubs` makes `calls` calls of `method` with `request` on a thread of its
// own; `answered` judges each reply. Answers the batch's wall time in seconds, or -1 when a
// call failed or a reply was judged wrong, and adds each call's latency in microseconds to
// `latencies_us`.
template <typename Request, typename Response, typename Judge>
double RunClientBatch(ServiceHarness& harness, const std::vector<std::unique_ptr<Stub>>& stubs,
                      StubMethod<Request, Response> method, const Request& request, int calls,
                      Judge answered, std::vector<double>& latencies_us) {
  std::mutex latencies_mutex;
  std::atomic<bool> failed{false};
  const Clock::time_point batch_start = Clock::now();
  std::vector<std::thread> threads;
  for (const std::unique_ptr<Stub>& stub : stubs) {
    threads.emplace_back([&, client = stub.get()] {
      std::vector<double> own;
      own.reserve(static_cast<std::size_t>(calls));
      for (int call = 0; call < calls; ++call) {
        Response response;
        const Clock::time_point start = Clock::now();
        const grpc::Status status = harness.Call(method, request, &response, client);
        own.push_back(1e6 * SecondsSince(start));
        if (!status.ok() || !answered(response)) failed.store(true);
      }
      std::lock_guard lock(latencies_mutex);
      latencies_us.insert(latencies_us.end(), own.begin(), own.end());
    });
  }
  for (std::thread& thread : threads) thread.join();
  return failed.load() ? -1.0 : SecondsSince(batch_start);
}

// The value below which `fraction` of `values` lie (values sorted in place); 0 when empty.
inline double Percentile(std::vector<double>& values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

}  // namespace zelph::testing
