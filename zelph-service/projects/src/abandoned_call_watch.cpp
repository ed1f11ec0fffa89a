// abandoned_call_watch.cpp
#include "zelph/projects/abandoned_call_watch.h"

#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "zelph/logger/log.h"

namespace zelph {

struct AbandonedCallWatchState {
  struct Watched {
    const WaitLimit* limit;
    AbandonedCallWatch::Interrupt interrupt;
  };

  std::mutex mutex;
  std::condition_variable changed;  // a call is watched, or the watch stops
  bool stopping = false;
  std::uint64_t next_id = 0;
  std::map<std::uint64_t, Watched> watched;
};

namespace {

bool Ended(const WaitLimit& limit) {
  return std::chrono::system_clock::now() >= limit.Deadline() || limit.IsCancelled();
}

void CallGuarded(const AbandonedCallWatch::Interrupt& interrupt) noexcept {
  try {
    interrupt();
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Interrupt of an abandoned run failed: {}", e.what());
  } catch (...) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Interrupt of an abandoned run failed with an unknown exception");
  }
}

void WatchThread(const std::shared_ptr<AbandonedCallWatchState>& state,
                 std::chrono::milliseconds look_interval) {
  std::unique_lock lock(state->mutex);
  while (true) {
    state->changed.wait(lock, [&] { return state->stopping || !state->watched.empty(); });
    if (state->stopping) return;
    // The limits are read under the lock: a hold gives its limit up only under it.
    std::vector<AbandonedCallWatch::Interrupt> due;
    for (const auto& [id, call] : state->watched) {
      if (Ended(*call.limit)) due.push_back(call.interrupt);
    }
    lock.unlock();
    for (const AbandonedCallWatch::Interrupt& interrupt : due) CallGuarded(interrupt);
    due.clear();
    lock.lock();
    state->changed.wait_for(lock, look_interval, [&] { return state->stopping; });
  }
}

}  // namespace

AbandonedCallWatch::AbandonedCallWatch(std::chrono::milliseconds look_interval)
    : state_(std::make_shared<AbandonedCallWatchState>()),
      thread_(&WatchThread, state_, look_interval) {}

AbandonedCallWatch::~AbandonedCallWatch() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
  }
  state_->changed.notify_all();
  thread_.join();
}

AbandonedCallWatch::Hold AbandonedCallWatch::Watch(const WaitLimit* limit, Interrupt interrupt) {
  if (limit == nullptr) return Hold();
  std::uint64_t id = 0;
  {
    std::lock_guard lock(state_->mutex);
    id = state_->next_id++;
    state_->watched.emplace(id, AbandonedCallWatchState::Watched{limit, std::move(interrupt)});
  }
  state_->changed.notify_all();
  return Hold(state_, id);
}

AbandonedCallWatch::Hold::Hold(std::shared_ptr<AbandonedCallWatchState> state, std::uint64_t id)
    : state_(std::move(state)), id_(id) {}

AbandonedCallWatch::Hold::Hold(Hold&& other) noexcept
    : state_(std::move(other.state_)), id_(other.id_) {}

AbandonedCallWatch::Hold& AbandonedCallWatch::Hold::operator=(Hold&& other) noexcept {
  if (this != &other) {
    Release();
    state_ = std::move(other.state_);
    id_ = other.id_;
  }
  return *this;
}

AbandonedCallWatch::Hold::~Hold() { Release(); }

void AbandonedCallWatch::Hold::Release() noexcept {
  if (!state_) return;
  Interrupt interrupt;
  {
    std::lock_guard lock(state_->mutex);
    const auto found = state_->watched.find(id_);
    interrupt = std::move(found->second.interrupt);
    state_->watched.erase(found);
  }
  // What the interrupt holds goes outside the lock.
  interrupt = nullptr;
  state_.reset();
}

AbandonedCallWatch& ServiceAbandonedCallWatch() {
  static AbandonedCallWatch* const watch = new AbandonedCallWatch();
  return *watch;
}

}  // namespace zelph
