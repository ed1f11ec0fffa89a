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

// Owns the calling thread's table from its first timing to the thread's end, when the
// timings move to the registry's table of ended threads.
class ThreadSlot {
 public:
  ThreadSlot() = default;
  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;
  ~ThreadSlot();

  ThreadProfiles& Profiles() {
    if (profiles_ == nullptr) Register();
    return *profiles_;
  }

 private:
  void Register();

  ThreadProfiles* profiles_ = nullptr;
};

thread_local ThreadSlot thread_slot;
// Trivially destructible, so it stays readable after thread_slot is gone: a Timer that ends in
// another thread-local destructor then adds to the table of ended threads directly.
thread_local bool thread_slot_ended = false;

void ThreadSlot::Register() {
  auto profiles = std::make_unique<ThreadProfiles>();
  ProfileRegistry& registry = Registry();
  std::lock_guard lock(registry.mutex);
  registry.threads.push_back(profiles.get());
  profiles_ = profiles.release();
}

ThreadSlot::~ThreadSlot() {
  thread_slot_ended = true;
  if (profiles_ == nullptr) return;
  {
    ProfileRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    // Readers reach a thread's table only under the registry's mutex: none can hold it now.
    for (const auto& [name, entry] : profiles_->entries) registry.ended[name] += entry;
    std::erase(registry.threads, profiles_);
  }
  delete profiles_;
}

void AddTiming(const std::string& name, double elapsed_ms) {
  const ProfileEntry timing{elapsed_ms, 1};
  if (thread_slot_ended) {
    ProfileRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.ended[name] += timing;
    return;
  }
  ThreadProfiles& profiles = thread_slot.Profiles();
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
