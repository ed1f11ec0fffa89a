// statistic.h
//
// What a worker or a chain did in its latest run: its stage, its place in the run order, the
// durations of its last executions, its last error and a summary of every port data it put
// out (statistic_detail.h). A statistic is rendered into a compact JSON document of its state
// after every change, and that document is the only form in which it leaves the service:
//
//   auto statistic = std::make_shared<Statistic>(worker->GetId(), "worker");
//   statistic->ResetFromWorker(*worker, kStageInit, 0);
//   statistic->BeginWorkerExecution(Statistic::Clock::now());
//   ... the worker runs ...
//   statistic->FinishFromWorker(*worker, Statistic::Clock::now(), ++execution_order);
//   StatisticDocument document = statistic->GetDocument();  // from any thread
//
// Threading: the thread that runs the project changes a statistic, a preview thread may add
// a summary to it at the same time, and request threads read its document. `lock` guards
// the fields marked as guarded below, and the document: the operations take it exclusively
// for their changes, so a reader of GetDocument gets either the previous or the new complete
// document, never a mixture. Code that reads the guarded fields directly holds `lock` shared.
// The identity fields never change.
//
// A run changes a statistic several times per worker execution while clients read it far
// less often, so the text is made when it is first read after a change: the document a
// reader gets is the one the last change called for, stamped with the time of that change.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "zelph/model/data_process.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/statistic_detail.h"

namespace zelph {

enum StatisticStage : int {
  kStageInit = 0,       // reset before a run
  kStageExecuting = 1,  // started executing
  kStageExecuted = 2,   // finished
  kStageLoad = 3,       // reset after a chain was loaded
};

// "init", "executing", "executed", "load"; "undefined" for any other value.
const char* StatisticStageName(int stage);

// The rendered JSON text and the wall-clock time it was rendered at; no data before the
// first rendering. Shared: a reader keeps its copy however often the statistic renders.
struct StatisticDocument {
  std::shared_ptr<const PortDataScalar> data;
  std::chrono::system_clock::time_point rendered{};
};

struct Statistic {
  using Clock = std::chrono::steady_clock;

  // Durations kept, newest last.
  static constexpr std::size_t kMaxDurations = 10;

  // A fresh random version-4 uuid as id; stage init, order 0, nothing rendered yet. Throws
  // boost::uuids::entropy_error when the random source fails.
  Statistic(const std::string& object_id, const std::string& type);
  Statistic(const Statistic&) = delete;
  Statistic& operator=(const Statistic&) = delete;

  // The reset of a worker before a run or after a load: stage, order, the worker's name and
  // system name, and its error texts (empty texts for a disabled worker). Durations, start
  // time and summaries stay. Renders.
  void ResetFromWorker(IDataProcess& worker, int new_stage, std::int64_t new_order);
  // The reset of the chain: stage and order only. Renders.
  void Reset(int new_stage, std::int64_t new_order);

  // Stage executing from `now`, summaries emptied. Renders.
  void BeginWorkerExecution(Clock::time_point now);
  // Stage executing from `now`; not rendered, so the chain's document keeps its stage until
  // the chain has finished.
  void BeginExecution(Clock::time_point now);

  // A worker has finished at `end`: its error texts (whether or not it is enabled), the
  // duration since the start, stage executed, `new_order`, and a summary of every port
  // that holds matrix, number or scalar data, in port order (a matrix's channel ranges are
  // read when the document is rendered). The summaries are built before the lock is taken.
  // Renders.
  void FinishFromWorker(IDataProcess& worker, Clock::time_point end, std::int64_t new_order);
  // The chain has finished at `end`: duration, stage executed, `new_order`. Renders.
  void EndExecution(Clock::time_point end, std::int64_t new_order);

  // Appends a summary (the preview's). Renders.
  void AddDetail(std::shared_ptr<StatisticDetail> detail);

  // Appends the seconds from `start` to `end`, dropping the oldest beyond kMaxDurations.
  // The caller holds `lock` exclusively (the operations above do).
  void AddDuration(Clock::time_point end);

  // Makes the document follow the fields as they are now (rendered when it is next read,
  // stamped now); takes `lock` exclusively, so the caller must not hold it.
  void UpdateJson();

  // A copy of the latest document, rendered first when a change called for a new one. Takes
  // `lock`, so the caller must not hold it. Any thread.
  StatisticDocument GetDocument() const;

  // Identity, fixed at construction.
  const std::string id;
  const std::string object_id;
  const std::string type;  // "worker" or "chain"

  // Guarded by `lock`.
  std::string name;  // the worker's; empty for the chain
  std::string error_message;
  std::string stack_trace;
  std::string error_class_name;
  Clock::time_point start{};
  std::deque<double> durations;  // seconds, oldest first
  int stage = kStageInit;
  std::int64_t order = 0;
  std::vector<std::shared_ptr<StatisticDetail>> details;
  mutable std::shared_mutex lock;
  std::string system_name;  // the worker's; empty for the chain

 private:
  // Renders the pending document; the caller holds `lock` exclusively.
  void RenderPending() const;

  mutable StatisticDocument document_;
  // Whether document_ lags behind the last UpdateJson, and when that was.
  mutable bool pending_ = false;
  std::chrono::system_clock::time_point changed_{};
};

}  // namespace zelph
