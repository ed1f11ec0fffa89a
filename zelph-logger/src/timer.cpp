// timer.cpp
//
// The profile table behind Timer. It is a never-destroyed heap object, so a timer that ends
// on a detached thread during exit does not touch a destroyed map.
#include "zelph/logger/timer.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "zelph/logger/log.h"

namespace zelph {
namespace {

struct ProfileEntry {
  double total_ms = 0.0;
  int64_t count = 0;
};

struct ProfileTable {
  std::mutex mutex;
  std::unordered_map<std::string, ProfileEntry> entries;
};

ProfileTable& Profiles() {
  static ProfileTable* table = new ProfileTable();
  return *table;
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

Timer::~Timer() {
  const double elapsed = ElapsedMs(start_ns_);
  ProfileTable& table = Profiles();
  std::lock_guard lock(table.mutex);
  ProfileEntry& entry = table.entries[name_];
  entry.total_ms += elapsed;
  ++entry.count;
}

InstantTimer::InstantTimer(const char* name) : name_(name) { start_ns_ = NowNs(); }

InstantTimer::~InstantTimer() {
  PrintAndLog(fmt::format("[PROFILE] {}: {} ms\n", name_, ElapsedMs(start_ns_)));
}

void PrintAllProfiles() {
  ProfileTable& table = Profiles();
  std::lock_guard lock(table.mutex);
  std::vector<std::pair<std::string, ProfileEntry>> records(table.entries.begin(),
                                                            table.entries.end());
  std::sort(records.begin(), records.end(),
            [](const auto& a, const auto& b) { return a.second.total_ms > b.second.total_ms; });
  for (const auto& [name, entry] : records) PrintProfileLine(name, entry);
}

void PrintProfile(const char* name) {
  ProfileTable& table = Profiles();
  std::lock_guard lock(table.mutex);
  auto it = table.entries.find(name);
  if (it != table.entries.end()) PrintProfileLine(it->first, it->second);
}

void ResetProfile(const char* name) {
  ProfileTable& table = Profiles();
  std::lock_guard lock(table.mutex);
  table.entries[name] = ProfileEntry{};
}

void ResetAllProfiles() {
  ProfileTable& table = Profiles();
  std::lock_guard lock(table.mutex);
  for (auto& [name, entry] : table.entries) entry = ProfileEntry{};
}

double GetProfileTime(const char* name) {
  ProfileTable& table = Profiles();
  std::lock_guard lock(table.mutex);
  auto it = table.entries.find(name);
  return it == table.entries.end() ? -1.0 : it->second.total_ms;
}

}  // namespace zelph
