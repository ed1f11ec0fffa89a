// timer.cpp
//
// The profile table behind Timer. Strategies, the Java bridge and every request handler time
// their calls, so one lock for the whole process would serialise concurrent runs and clients.
// Each thread therefore adds its timings to a table of its own, under a mutex that only the
// readers of the whole table contend for; a thread's table is folded into the table of ended
// threads when the thread ends. The readers (print, reset, query) merge every table.
//
// The registry of tables is a never-destroyed heap object, so a timer that ends on a
// detached thread during exit does not touch a destroyed map.
#include "zelph/logger/timer.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "zelph/logger/log.h"

namespace zelph {
namespace {

struct ProfileEntry {
  double total_ms = 0.0;
  int64_t count = 0;

  ProfileEntry& operator+=(const ProfileEntry& other) {
    total_ms += other.total_ms;
    count += other.count;
    return *this;
  }
};

using ProfileEntries = std::unordered_map<std::string, ProfileEntry>;

// One thread's timings. Only its thread adds entries; readers take the mutex to merge or
// reset them. Aligned so that two threads' mutexes never share a cache line.
struct alignas(64) ThreadProfiles {
  std::mutex mutex;
  ProfileEntries entries;
};

// Lock order: the registry's mutex, then a thread's mutex. A timing takes only its own
// thread's mutex.
struct ProfileRegistry {
  std::mutex mutex;
  std::vector<ThreadProfiles*> threads;  // tables of running threads
  ProfileEntries ended;                  // timings of ended threads, and names made by ResetProfile
};

ProfileRegistry& Registry() {
  static ProfileRegistry* registry = new ProfileRegistry();
  return *registry;
}

// The calling thread's table, from its first timing until the thread ends. Trivially
// destructible, so it stays readable while the thread ends: a Timer that ends in a
// thread-local destructor after the table was folded adds to the table of ended threads.
struct ThreadState {
  ThreadProfiles* profiles = nullptr;
  bool ended = false;
};
thread_local ThreadState thread_state;

// Made by a thread's first timing; its destructor folds the thread's table into the table of
// ended threads when the thread ends.
struct ThreadEnd {
  ThreadEnd() = default;
  ThreadEnd(const ThreadEnd&) = delete;
  ThreadEnd& operator=(const ThreadEnd&) = delete;
  ~ThreadEnd() {
    ThreadProfiles* profiles = std::exchange(thread_state.profiles, nullptr);
    thread_state.ended = true;
    if (profiles == nullptr) return;  // the table could not be made
    {
      ProfileRegistry& registry = Registry();
      std::lock_guard lock(registry.mutex);
      // Readers reach a thread's table only under the registry's mutex: none holds it now.
      for (const auto& [name, entry] : profiles->entries) registry.ended[name] += entry;
      std::erase(registry.threads, profiles);
    }
    delete profiles;
  }
};

ThreadProfiles& RegisterThread() {
  thread_local ThreadEnd thread_end;  // made here, once per thread
  auto profiles = std::make_unique<ThreadProfiles>();
  ProfileRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  registry.threads.push_back(profiles.get());
  thread_state.profiles = profiles.release();
  return *thread_state.profiles;
}

void AddTiming(const std::string& name, double elapsed_ms) {
  const ProfileEntry timing{elapsed_ms, 1};
  ThreadState& state = thread_state;
  if (state.profiles == nullptr && state.ended) {
    ProfileRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.ended[name] += timing;
    return;
  }
  ThreadProfiles& profiles = state.profiles != nullptr ? *state.profiles : RegisterThread();
  std::lock_guard lock(profiles.mutex);
  profiles.entries[name] += timing;
}

// Calls `visit(ProfileEntries&)` for the table of ended threads and then for every running
// thread's table, each under its mutex.
template <typename Visit>
void ForEachTable(Visit visit) {
  ProfileRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  visit(registry.ended);
  for (ThreadProfiles* profiles : registry.threads) {
    std::lock_guard thread_lock(profiles->mutex);
    visit(profiles->entries);
  }
}

ProfileEntries MergedEntries() {
  ProfileEntries merged;
  ForEachTable([&](const ProfileEntries& entries) {
    for (const auto& [name, entry] : entries) merged[name] += entry;
  });
  return merged;
}

// The sum of the name's entries over all tables; empty when no table has the name.
std::optional<ProfileEntry> MergedEntry(const std::string& name) {
  std::optional<ProfileEntry> merged;
  ForEachTable([&](const ProfileEntries& entries) {
    auto it = entries.find(name);
    if (it == entries.end()) return;
    if (!merged) merged.emplace();
    *merged += it->second;
  });
  return merged;
}

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double ElapsedMs(int64_t start_ns) { return static_cast<double>(NowNs() - start_ns) / 1000000.0; }

void PrintAndLog(const std::string& text) {
  fmt::print("{}", text);
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "{}", text);
}

void PrintProfileLine(const std::string& name, const ProfileEntry& entry) {
  if (entry.count == 0) return;
  PrintAndLog(fmt::format("[PROFILE] name: {}, duration: {} ms, by one: {} ms/count\n", name,
                          entry.total_ms, entry.total_ms / static_cast<double>(entry.count)));
}

}  // namespace

Timer::Timer(const char* name) : name_(name) { start_ns_ = NowNs(); }

Timer::~Timer() { AddTiming(name_, ElapsedMs(start_ns_)); }

InstantTimer::InstantTimer(const char* name) : name_(name) { start_ns_ = NowNs(); }

InstantTimer::~InstantTimer() {
  PrintAndLog(fmt::format("[PROFILE] {}: {} ms\n", name_, ElapsedMs(start_ns_)));
}

void PrintAllProfiles() {
  const ProfileEntries merged = MergedEntries();
  std::vector<std::pair<std::string, ProfileEntry>> records(merged.begin(), merged.end());
  std::sort(records.begin(), records.end(),
            [](const auto& a, const auto& b) { return a.second.total_ms > b.second.total_ms; });
  for (const auto& [name, entry] : records) PrintProfileLine(name, entry);
}

void PrintProfile(const char* name) {
  const std::string key = name;
  if (const auto entry = MergedEntry(key)) PrintProfileLine(key, *entry);
}

void ResetProfile(const char* name) {
  const std::string key = name;
  bool ended_table = true;
  ForEachTable([&](ProfileEntries& entries) {
    if (ended_table) {
      // The name has an entry from now on, also when no thread has timed it yet.
      entries[key] = ProfileEntry{};
      ended_table = false;
      return;
    }
    auto it = entries.find(key);
    if (it != entries.end()) it->second = ProfileEntry{};
  });
}

void ResetAllProfiles() {
  ForEachTable([](ProfileEntries& entries) {
    for (auto& [name, entry] : entries) entry = ProfileEntry{};
  });
}

double GetProfileTime(const char* name) {
  const auto entry = MergedEntry(name);
  return entry ? entry->total_ms : -1.0;
}

}  // namespace zelph
