// background_tasks.h
//
// BackgroundTasks: the work the service does beside its request threads (asynchronous
// chain runs and preview images), counted so that shutdown can stop it before the loggers,
// the plug-ins and the process-wide objects it uses go away. It also knows the runs that go
// on request threads (synchronous evaluations), so that a shutdown reaches every run in
// progress, whichever project it belongs to and wherever that project is.
//
//   zelph::BackgroundTasks tasks;
//   if (!tasks.StartRun([chain, hold = std::move(shared_hold)] { chain->Execute(...); },
//                       [chain] { chain->Interrupt(); })) {
//     // shutting down: nothing was started
//   }
//   tasks.SubmitPreview(project_key + "/" + worker_id, [project, data, worker_id] {...});
//   ...
//   tasks.Shutdown(std::chrono::seconds(10));  // then release the loggers
//
// Runs get a thread each, which ends with the run; SetMaxRuns caps the runs in progress, so
// that clients cannot make threads without limit. Previews run on a fixed pool of threads,
// so a burst of worker executions never starts more threads than that. Per key (one
// worker of one project), at most one preview runs at a time and at most one waits behind
// it; a newer preview replaces the waiting one, which is dropped unrun. So the newest
// preview submitted for a key is the last of that key to run, and what it stores stays.
//
// Threads and the Java VM: a thread that touched Java is detached from the VM by the Java
// bridge's guard when the thread ends. A run thread ends with its run, and the run stops
// counting only once the thread's other thread-local objects, that guard among them, have
// been destroyed: WaitIdle and Shutdown return after the detaching. A pool thread that
// ran a Java preview stays attached while it waits for more previews (never more threads
// than the pool holds) and ends, detaching, when the pool stops at Shutdown. No task ever
// runs on the thread that submitted it.
//
// Lifetime: what a task captures (a project, a chain, port data, a lock hold) is destroyed
// on the task's thread before the task stops counting, so a project whose last owner is a
// task is destroyed before Shutdown or WaitIdle see the task end. A task that outlives the
// bound of Shutdown keeps only the shared bookkeeping alive, never this object.
//
// Every method may be called from any thread, except that Shutdown and the destructor are
// called by the owner once the object is no longer handed out.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zelph/chain/exception.h"

namespace zelph {

// A run refused because as many runs as the cap allows are in progress
// (BackgroundTasks::SetMaxRuns).
class TooManyRuns : public Exception {
 public:
  using Exception::Exception;
};

// The bookkeeping that the threads share with their BackgroundTasks (background_tasks.cpp).
struct BackgroundTaskState;

class BackgroundTasks {
 public:
  using Task = std::function<void()>;

  static constexpr std::chrono::milliseconds kDefaultShutdownBound{10000};

  // Starts `preview_threads` pool threads (at least one). Throws std::system_error when a
  // thread cannot be started.
  explicit BackgroundTasks(std::size_t preview_threads = DefaultPreviewThreads());
  // Shutdown(kDefaultShutdownBound) when Shutdown has not been called.
  ~BackgroundTasks();
  BackgroundTasks(const BackgroundTasks&) = delete;
  BackgroundTasks& operator=(const BackgroundTasks&) = delete;

  // The number of cores, between 1 and 4: previews are short and must not crowd out runs.
  static std::size_t DefaultPreviewThreads();

  // Caps the runs in progress (those of StartRun and CountCallingThreadRun, and the places
  // taken for them) at `max_runs`; 0, the default, for no cap. Runs already counted go on.
  void SetMaxRuns(std::size_t max_runs);

  // A place among the runs in progress, taken before a run prepares anything, so that a run
  // past the cap is refused before it has changed something. Throws TooManyRuns at the cap.
  class RunPlace;
  [[nodiscard]] RunPlace TakeRunPlace();

  // StartRun(TakeRunPlace(), run, interrupt).
  [[nodiscard]] bool StartRun(Task run, Task interrupt);
  // Runs `run` on a new thread of its own, in the place taken for it (TakeRunPlace), and
  // counts it until `run` has returned and been destroyed and the thread is ending, past its
  // thread-local destructors. While it counts, Shutdown calls `interrupt` (if set), and calls
  // it again every 100 ms while it waits, since the first call may come before the run has
  // begun. It must make the run end soon and be safe to call at any time, also after `run`
  // has returned, on the thread of Shutdown. Returns false after Shutdown began: nothing is
  // started or kept, and both functions are destroyed on the calling thread. Throws
  // std::system_error when no thread can be started (nothing counts, `run` is destroyed
  // unrun). The place is given back whenever nothing is started.
  [[nodiscard]] bool StartRun(RunPlace place, Task run, Task interrupt);

  // Counts a run that goes on the calling thread until the returned hold is destroyed (on any
  // thread). While it counts, InterruptRuns and Shutdown call `interrupt` as they do for the
  // runs of StartRun, with the same rules for `interrupt`, and Shutdown waits for it within
  // its bound; WaitIdle does not (the caller's thread is not background work). Counted also
  // after Shutdown began: a synchronous evaluation still runs then, and stays reachable.
  // Throws TooManyRuns at the cap of runs in progress, counting nothing.
  class CallingThreadRun;
  [[nodiscard]] CallingThreadRun CountCallingThreadRun(Task interrupt);

  // Calls the interrupt of every run counted now (StartRun's and CountCallingThreadRun's) on
  // the calling thread, outside the bookkeeping's lock.
  void InterruptRuns();

  // Queues `preview` under `key` for the pool, replacing (and destroying unrun) a preview
  // of the same key that has not started yet. Never waits for a preview to finish. Returns
  // false after Shutdown began, with `preview` destroyed unrun on the calling thread.
  [[nodiscard]] bool SubmitPreview(const std::string& key, Task preview);

  // Waits at most `bound` until no run and no preview is running or queued; true when that
  // was reached.
  bool WaitIdle(std::chrono::milliseconds bound);

  // Refuses new work from now on, drops the previews that have not started, interrupts the
  // runs still counted (see StartRun and CountCallingThreadRun), and waits at most `bound` for the
  // runs and previews to end and for the pool threads to stop. True when everything ended in time;
  // otherwise what still runs is left to finish on its own (logged), and a later call waits again.
  bool Shutdown(std::chrono::milliseconds bound);

 private:
  std::shared_ptr<BackgroundTaskState> state_;
  std::vector<std::thread> pool_;
  bool shut_down_ = false;
};

// The count of one run on its caller's thread (BackgroundTasks::CountCallingThreadRun).
// Movable; the run stops counting when the hold is destroyed, its interrupt function
// destroyed first, outside the bookkeeping's lock. Keeps only the shared bookkeeping alive.
class BackgroundTasks::CallingThreadRun {
 public:
  CallingThreadRun() = default;
  CallingThreadRun(CallingThreadRun&& other) noexcept;
  CallingThreadRun& operator=(CallingThreadRun&& other) noexcept;
  ~CallingThreadRun();

 private:
  friend class BackgroundTasks;
  CallingThreadRun(std::shared_ptr<BackgroundTaskState> state, std::uint64_t id);
  void Release() noexcept;

  std::shared_ptr<BackgroundTaskState> state_;
  std::uint64_t id_ = 0;
};

// A place taken for a run that has not started yet (BackgroundTasks::TakeRunPlace). Movable;
// StartRun uses it up, and a place destroyed unused is given back. Keeps only the shared
// bookkeeping alive.
class BackgroundTasks::RunPlace {
 public:
  RunPlace() = default;
  RunPlace(RunPlace&& other) noexcept;
  RunPlace& operator=(RunPlace&& other) noexcept;
  ~RunPlace();

 private:
  friend class BackgroundTasks;
  explicit RunPlace(std::shared_ptr<BackgroundTaskState> state);
  void Release() noexcept;

  std::shared_ptr<BackgroundTaskState> state_;
};

}  // namespace zelph
