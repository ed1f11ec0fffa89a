// background_tasks.cpp
//
// Run threads and the preview pool share one BackgroundTaskState through shared pointers, so a
// thread that is still running when its BackgroundTasks has been destroyed finds its bookkeeping
// intact. Tasks are called and destroyed outside the mutex: a task's captures may hold the
// last reference to a project, whose destruction calls into the plug-ins.
#include "zelph/projects/background_tasks.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include <fmt/format.h>

#include "zelph/logger/log.h"

namespace zelph {

struct BackgroundTaskState {
  using Task = BackgroundTasks::Task;

  // The previews of one key: the one running (if any) and the one waiting behind it.
  struct PreviewSlot {
    Task waiting;
    bool running = false;
  };

  bool Idle() const { return runs.empty() && previews.empty(); }
  // Runs counted or about to be: what the cap of runs in progress bounds.
  std::size_t RunsInProgress() const {
    return runs.size() + calling_thread_runs.size() + places_taken;
  }
  // Throws TooManyRuns when no run may be added; the caller holds the mutex.
  void RequireRoomForRun() const {
    if (max_runs != 0 && RunsInProgress() >= max_runs) {
      throw TooManyRuns(fmt::format(
          "Run refused: {} runs are in progress, as many as \"max_runs\" allows", max_runs));
    }
  }

  std::mutex mutex;
  std::condition_variable work_ready;  // pool threads: a key became ready, or stop
  std::condition_variable work_ended;  // WaitIdle and Shutdown: a count fell
  bool accepting = true;
  std::uint64_t next_run = 0;
  std::size_t max_runs = 0;      // 0: no cap
  std::size_t places_taken = 0;  // RunPlaces not yet used up or given back
  // Interrupt functions of the counted runs (an empty function once the run has returned).
  std::map<std::uint64_t, Task> runs;
  // Interrupt functions of the runs on their callers' threads; not waited for.
  std::map<std::uint64_t, Task> calling_thread_runs;
  // Keys with a running or waiting preview; a key is erased when both are gone.
  std::unordered_map<std::string, PreviewSlot> previews;
  // Keys whose waiting preview may start (none of their previews runs), oldest first.
  std::deque<std::string> ready;
  std::size_t live_pool_threads = 0;
};

namespace {

constexpr std::chrono::milliseconds kInterruptRepeat{100};

void CallGuarded(const BackgroundTasks::Task& task) noexcept {
  try {
    task();
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Background task failed: {}", e.what());
  } catch (...) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Background task failed with an unknown exception");
  }
}

// Ends the count of its thread's run when the thread ends. It is the thread's first
// thread-local object, and those are destroyed in the reverse order of their construction,
// so whatever the run bound to its thread (a virtual machine's attachment) has been released
// by the time WaitIdle or Shutdown sees the run gone.
class RunCount {
 public:
  void Hold(std::shared_ptr<BackgroundTaskState> state, std::uint64_t id) {
    state_ = std::move(state);
    id_ = id;
  }

  ~RunCount() {
    if (!state_) return;
    // What the interrupt function holds goes before the run stops counting, as the run's own
    // task has, so a project they kept alive is destroyed before Shutdown returns.
    BackgroundTasks::Task interrupt;
    {
      std::lock_guard lock(state_->mutex);
      interrupt = std::exchange(state_->runs[id_], nullptr);
    }
    interrupt = nullptr;
    std::lock_guard lock(state_->mutex);
    state_->runs.erase(id_);
    state_->work_ended.notify_all();
  }

 private:
  std::shared_ptr<BackgroundTaskState> state_;
  std::uint64_t id_ = 0;
};

void RunThread(const std::shared_ptr<BackgroundTaskState>& state, std::uint64_t id,
               BackgroundTasks::Task run) {
  thread_local RunCount count;
  count.Hold(state, id);
  CallGuarded(run);
  run = nullptr;
}

// Copies of the interrupt functions of every counted run; the caller holds the mutex.
void CollectInterrupts(const BackgroundTaskState& state, std::vector<BackgroundTasks::Task>& to) {
  for (const auto* runs : {&state.runs, &state.calling_thread_runs}) {
    for (const auto& [id, interrupt] : *runs) {
      if (interrupt) to.push_back(interrupt);
    }
  }
}

void PoolThread(const std::shared_ptr<BackgroundTaskState>& state) {
  std::unique_lock lock(state->mutex);
  while (true) {
    state->work_ready.wait(lock, [&] { return !state->accepting || !state->ready.empty(); });
    if (state->ready.empty()) break;
    const std::string key = std::move(state->ready.front());
    state->ready.pop_front();
    BackgroundTaskState::PreviewSlot& slot = state->previews[key];
    BackgroundTasks::Task preview = std::exchange(slot.waiting, nullptr);
    slot.running = true;
    lock.unlock();
    CallGuarded(preview);
    preview = nullptr;
    lock.lock();
    const auto found = state->previews.find(key);
    found->second.running = false;
    if (found->second.waiting) {
      state->ready.push_back(key);
      state->work_ready.notify_one();
    } else {
      state->previews.erase(found);
      state->work_ended.notify_all();
    }
  }
  --state->live_pool_threads;
  state->work_ended.notify_all();
}

}  // namespace

BackgroundTasks::BackgroundTasks(std::size_t preview_threads)
    : state_(std::make_shared<BackgroundTaskState>()) {
  const std::size_t count = std::max<std::size_t>(preview_threads, 1);
  pool_.reserve(count);
  try {
    for (std::size_t i = 0; i < count; ++i) {
      // The new thread waits for the mutex, so it is counted before it can stop.
      std::lock_guard lock(state_->mutex);
      pool_.emplace_back(&PoolThread, state_);
      ++state_->live_pool_threads;
    }
  } catch (...) {
    Shutdown(kDefaultShutdownBound);
    throw;
  }
}

BackgroundTasks::~BackgroundTasks() {
  if (!shut_down_) Shutdown(kDefaultShutdownBound);
}

std::size_t BackgroundTasks::DefaultPreviewThreads() {
  return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
}

void BackgroundTasks::SetMaxRuns(std::size_t max_runs) {
  std::lock_guard lock(state_->mutex);
  state_->max_runs = max_runs;
}

BackgroundTasks::RunPlace BackgroundTasks::TakeRunPlace() {
  std::lock_guard lock(state_->mutex);
  state_->RequireRoomForRun();
  ++state_->places_taken;
  return RunPlace(state_);
}

bool BackgroundTasks::StartRun(Task run, Task interrupt) {
  return StartRun(TakeRunPlace(), std::move(run), std::move(interrupt));
}

bool BackgroundTasks::StartRun(RunPlace place, Task run, Task interrupt) {
  std::uint64_t id = 0;
  {
    std::lock_guard lock(state_->mutex);
    if (!state_->accepting) return false;  // the place is given back on return
    id = state_->next_run++;
    state_->runs.emplace(id, std::move(interrupt));
    // The run now counts in its own right; the place is used up.
    if (place.state_) {
      --state_->places_taken;
      place.state_.reset();
    }
  }
  try {
    std::thread(&RunThread, state_, id, std::move(run)).detach();
  } catch (...) {
    Task unused;
    {
      std::lock_guard lock(state_->mutex);
      const auto found = state_->runs.find(id);
      unused = std::move(found->second);
      state_->runs.erase(found);
      state_->work_ended.notify_all();
    }
    throw;
  }
  return true;
}

BackgroundTasks::CallingThreadRun BackgroundTasks::CountCallingThreadRun(Task interrupt) {
  std::lock_guard lock(state_->mutex);
  state_->RequireRoomForRun();
  const std::uint64_t id = state_->next_run++;
  state_->calling_thread_runs.emplace(id, std::move(interrupt));
  return CallingThreadRun(state_, id);
}

void BackgroundTasks::InterruptRuns() {
  std::vector<Task> interrupts;
  {
    std::lock_guard lock(state_->mutex);
    CollectInterrupts(*state_, interrupts);
  }
  for (const Task& interrupt : interrupts) CallGuarded(interrupt);
}

BackgroundTasks::CallingThreadRun::CallingThreadRun(std::shared_ptr<BackgroundTaskState> state,
                                                    std::uint64_t id)
    : state_(std::move(state)), id_(id) {}

BackgroundTasks::CallingThreadRun::CallingThreadRun(CallingThreadRun&& other) noexcept
    : state_(std::move(other.state_)), id_(other.id_) {}

BackgroundTasks::CallingThreadRun& BackgroundTasks::CallingThreadRun::operator=(
    CallingThreadRun&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::move(other.state_);
    id_ = other.id_;
  }
  return *this;
}

BackgroundTasks::CallingThreadRun::~CallingThreadRun() { Release(); }

void BackgroundTasks::CallingThreadRun::Release() noexcept {
  if (!state_) return;
  Task interrupt;
  {
    std::lock_guard lock(state_->mutex);
    const auto found = state_->calling_thread_runs.find(id_);
    interrupt = std::move(found->second);
  }
  // The count falls only once what the interrupt function holds is gone, as for StartRun.
  interrupt = nullptr;
  {
    std::lock_guard lock(state_->mutex);
    state_->calling_thread_runs.erase(id_);
    state_->work_ended.notify_all();
  }
  state_.reset();
}

BackgroundTasks::RunPlace::RunPlace(std::shared_ptr<BackgroundTaskState> state)
    : state_(std::move(state)) {}

BackgroundTasks::RunPlace::RunPlace(RunPlace&& other) noexcept : state_(std::move(other.state_)) {}

BackgroundTasks::RunPlace& BackgroundTasks::RunPlace::operator=(RunPlace&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::move(other.state_);
  }
  return *this;
}

BackgroundTasks::RunPlace::~RunPlace() { Release(); }

void BackgroundTasks::RunPlace::Release() noexcept {
  if (!state_) return;
  {
    std::lock_guard lock(state_->mutex);
    --state_->places_taken;
  }
  state_.reset();
}

bool BackgroundTasks::SubmitPreview(const std::string& key, Task preview) {
  Task replaced;
  std::lock_guard lock(state_->mutex);
  if (!state_->accepting) return false;
  BackgroundTaskState::PreviewSlot& slot = state_->previews[key];
  const bool queued = static_cast<bool>(slot.waiting);
  replaced = std::exchange(slot.waiting, std::move(preview));
  if (!queued && !slot.running) {
    state_->ready.push_back(key);
    state_->work_ready.notify_one();
  }
  return true;
}

bool BackgroundTasks::WaitIdle(std::chrono::milliseconds bound) {
  std::unique_lock lock(state_->mutex);
  return state_->work_ended.wait_for(lock, bound, [&] { return state_->Idle(); });
}

bool BackgroundTasks::Shutdown(std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::vector<Task> dropped;
  {
    std::lock_guard lock(state_->mutex);
    state_->accepting = false;
    state_->ready.clear();
    for (auto slot = state_->previews.begin(); slot != state_->previews.end();) {
      if (slot->second.waiting) dropped.push_back(std::exchange(slot->second.waiting, nullptr));
      slot = slot->second.running ? std::next(slot) : state_->previews.erase(slot);
    }
    state_->work_ready.notify_all();
    state_->work_ended.notify_all();
  }
  dropped.clear();

  std::unique_lock lock(state_->mutex);
  const auto ended = [&] {
    return state_->Idle() && state_->calling_thread_runs.empty() && state_->live_pool_threads == 0;
  };
  // A run may clear an interrupt that reached it before it began (a chain's Execute resets
  // its interrupt flag), so the interrupts are repeated until the runs end.
  while (!ended() && std::chrono::steady_clock::now() < deadline) {
    std::vector<Task> interrupts;
    CollectInterrupts(*state_, interrupts);
    lock.unlock();
    for (const Task& interrupt : interrupts) CallGuarded(interrupt);
    interrupts.clear();
    lock.lock();
    state_->work_ended.wait_until(
        lock, std::min(deadline, std::chrono::steady_clock::now() + kInterruptRepeat), ended);
  }
  const bool all_ended = ended();
  if (!all_ended) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning,
              "Background work still running after {} ms: {} runs, {} previews", bound.count(),
              state_->runs.size() + state_->calling_thread_runs.size(), state_->previews.size());
  }
  const bool pool_stopped = state_->live_pool_threads == 0;
  lock.unlock();
  // A pool thread that has not stopped keeps the shared state alive on its own.
  for (std::thread& thread : pool_) {
    if (pool_stopped) {
      thread.join();
    } else {
      thread.detach();
    }
  }
  pool_.clear();
  shut_down_ = true;
  return all_ended;
}

}  // namespace zelph
