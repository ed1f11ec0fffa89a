// sharded_map.h
//
// ShardedMap: a map from key text to values, split into 19 independent ordered maps
// (shards), each behind its own reader/writer lock. The shard of a key is FNV-1a 64 of its
// bytes modulo 19, so two threads that touch keys of different shards never wait for each
// other. The project cache, the statistics and object statuses of a project and the solution
// catalogue's apps are ShardedMaps.
//
//   ShardedMap<int> counts;
//   counts.Set("/input:camera", 3);
//   if (std::optional<int> value = counts.Find("/input:camera")) { ... }
//
// Threading: every operation may run on any thread. Each locks exactly one shard, except
// Clear and ForEach, which visit the shards one after another; no operation holds two shard
// locks at once. Values are copied out under the lock, so a found value stays valid after
// the lock is released. Find followed by Set is not atomic: of two threads that both found a
// key absent, the later Set wins.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>

inline constexpr std::size_t kShardedMapShards = 19;

// FNV-1a 64 over the key's bytes exactly as stored, modulo kShardedMapShards.
constexpr std::size_t ShardOfKey(std::string_view key) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (char c : key) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= 0x100000001b3ULL;
  }
  return static_cast<std::size_t>(hash % kShardedMapShards);
}

// A key with its shard worked out once, for a caller that uses the same key again and again
// (a long key costs more to hash than to find).
struct ShardedKey {
  ShardedKey() = default;
  explicit ShardedKey(std::string key) : text(std::move(key)), shard(ShardOfKey(text)) {}
  bool empty() const { return text.empty(); }

  std::string text;
  std::size_t shard = ShardOfKey("");
};

template <typename V>
class ShardedMap {
 public:
  static constexpr std::size_t kShardCount = kShardedMapShards;

  // The shard of `key`: FNV-1a 64 over its bytes exactly as stored, modulo kShardCount.
  static constexpr std::size_t ShardIndex(std::string_view key) { return ShardOfKey(key); }

  ShardedMap() {
    for (auto& shard : shards_) shard = std::make_unique<Shard>();
  }
  ShardedMap(const ShardedMap&) = delete;
  ShardedMap& operator=(const ShardedMap&) = delete;

  // A copy of the key's value, or none.
  std::optional<V> Find(std::string_view key) const { return FindIn(ShardIndex(key), key); }
  std::optional<V> Find(const ShardedKey& key) const { return FindIn(key.shard, key.text); }

  // Inserts the key or replaces its value; true when the key was new.
  bool Set(std::string key, V value) {
    Shard& shard = ShardOf(key);
    std::unique_lock lock(shard.mutex);
    return Counted(shard.entries.insert_or_assign(std::move(key), std::move(value)).second);
  }

  // As Set, but the key is copied only when it is new: a value replaced under a key that is
  // already present costs no allocation for the key.
  bool Assign(std::string_view key, V value) {
    return AssignIn(ShardIndex(key), key, std::move(value));
  }
  bool Assign(const ShardedKey& key, V value) {
    return AssignIn(key.shard, key.text, std::move(value));
  }

  // Inserts only when the key is absent (an existing key keeps its value); true when it did.
  bool Insert(std::string key, V value) {
    Shard& shard = ShardOf(key);
    std::unique_lock lock(shard.mutex);
    return Counted(shard.entries.try_emplace(std::move(key), std::move(value)).second);
  }

  // How many keys have been added so far. A key found absent after this count was read
  // stays absent while the count is unchanged (removals only take keys away), so a caller
  // may skip looking for it again.
  std::uint64_t KeysAdded() const { return keys_added_.load(std::memory_order_acquire); }

  // True when the key was present. The removed value is released after the shard lock.
  bool Erase(std::string_view key) {
    Shard& shard = ShardOf(key);
    std::optional<V> removed;
    {
      std::unique_lock lock(shard.mutex);
      auto it = shard.entries.find(key);
      if (it == shard.entries.end()) return false;
      removed.emplace(std::move(it->second));
      shard.entries.erase(it);
    }
    return true;
  }

  // Calls `fn` for every entry of shard `index` (below kShardCount) in key order, under that
  // shard's shared lock: `fn` must not write to the same map.
  void ForEachInShard(std::size_t index,
                      const std::function<void(const std::string&, const V&)>& fn) const {
    const Shard& shard = *shards_[index];
    std::shared_lock lock(shard.mutex);
    for (const auto& [key, value] : shard.entries) fn(key, value);
  }

  // ForEachInShard over every shard in turn. Not a snapshot: entries stored meanwhile into
  // a shard already visited are missed.
  void ForEach(const std::function<void(const std::string&, const V&)>& fn) const {
    for (std::size_t index = 0; index < kShardCount; ++index) ForEachInShard(index, fn);
  }

  // Empties the shards one after another; another thread may meanwhile see some shards
  // cleared and others not yet. Values are released outside the shard locks.
  void Clear() {
    for (auto& shard : shards_) {
      std::map<std::string, V, std::less<>> removed;
      std::unique_lock lock(shard->mutex);
      removed.swap(shard->entries);
    }
  }

 private:
  struct Shard {
    mutable std::shared_mutex mutex;
    std::map<std::string, V, std::less<>> entries;
  };

  std::optional<V> FindIn(std::size_t shard_index, std::string_view key) const {
    const Shard& shard = *shards_[shard_index];
    std::shared_lock lock(shard.mutex);
    auto it = shard.entries.find(key);
    if (it == shard.entries.end()) return std::nullopt;
    return it->second;
  }

  bool AssignIn(std::size_t shard_index, std::string_view key, V value) {
    Shard& shard = *shards_[shard_index];
    std::unique_lock lock(shard.mutex);
    if (auto it = shard.entries.find(key); it != shard.entries.end()) {
      it->second = std::move(value);
      return false;
    }
    shard.entries.emplace(std::string(key), std::move(value));
    return Counted(true);
  }

  // Counts a new key; called under the shard lock, after the insertion.
  bool Counted(bool added) {
    if (added) keys_added_.fetch_add(1, std::memory_order_release);
    return added;
  }

  Shard& ShardOf(std::string_view key) { return *shards_[ShardIndex(key)]; }
  const Shard& ShardOf(std::string_view key) const { return *shards_[ShardIndex(key)]; }

  // Allocated one by one, so that the locks of neighbouring shards share no cache line.
  std::array<std::unique_ptr<Shard>, kShardCount> shards_;
  std::atomic<std::uint64_t> keys_added_{0};
};
