// sharded_map_test.cpp
//
// The shard of a key, the map operations, and the project cache's entries.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/object_status.h"
#include "zelph/projects/service_cache.h"
#include "zelph/projects/sharded_map.h"

namespace {

TEST(ShardedMapTest, KeysFallIntoTheShardOfTheirFnv1aHash) {
  struct Case {
    std::string key;
    std::size_t shard;
  };
  const Case cases[] = {
      {"", 6},
      {"a", 4},
      {"abc", 0},
      {"/input:x", 17},
      {"/cache:1", 1},
      // Bytes as they are: no case folding, no trimming, no terminator.
      {"A", 15},
      {"a ", 5},
      {std::string("a\0b", 3), 13},
      {"\xC3\xA9", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShardedMap<int>::ShardIndex(c.key), c.shard) << c.key;
    EXPECT_EQ(ShardedKey(c.key).shard, c.shard) << c.key;
  }
  static_assert(ShardedMap<int>::ShardIndex("abc") == 0, "the shard is known at compile time");
}

TEST(ShardedMapTest, SetReplacesInsertKeepsEraseAnswersPresence) {
  ShardedMap<int> map;
  EXPECT_FALSE(map.Find("k").has_value());
  EXPECT_TRUE(map.Set("k", 1));
  EXPECT_FALSE(map.Set("k", 2));
  EXPECT_EQ(map.Find("k"), 2);
  EXPECT_FALSE(map.Insert("k", 3));
  EXPECT_EQ(map.Find("k"), 2);
  EXPECT_TRUE(map.Insert("K", 4));
  EXPECT_EQ(map.Find("K"), 4);
  EXPECT_TRUE(map.Erase("k"));
  EXPECT_FALSE(map.Erase("k"));
  EXPECT_FALSE(map.Find("k").has_value());
}

// Assign by text or by a key with its shard reaches the same entry; the count of added keys
// moves only when a key is new, however it was added.
TEST(ShardedMapTest, AssignReplacesOrAddsAndOnlyNewKeysAreCounted) {
  ShardedMap<int> map;
  const ShardedKey key("/worker:w/output:o");
  struct Step {
    const char* name;
    std::function<bool()> write;
    bool added;
  };
  const Step steps[] = {
      {"assign a new key", [&] { return map.Assign(key, 1); }, true},
      {"assign it by text", [&] { return map.Assign(key.text, 2); }, false},
      {"set it", [&] { return map.Set(key.text, 3); }, false},
      {"insert another", [&] { return map.Insert("other", 4); }, true},
      {"assign it by key", [&] { return map.Assign(ShardedKey("other"), 5); }, false},
      {"erase, then assign again", [&] { return map.Erase("other") && map.Assign("other", 6); },
       true},
  };
  std::uint64_t added = map.KeysAdded();
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    EXPECT_EQ(step.write(), step.added);
    EXPECT_EQ(map.KeysAdded(), added + (step.added ? 1 : 0));
    added = map.KeysAdded();
  }
  EXPECT_EQ(map.Find(key), 3);
  EXPECT_EQ(map.Find("other"), 6);
}

TEST(ShardedMapTest, ForEachVisitsEveryShardInKeyOrderAndClearEmptiesAll) {
  ShardedMap<int> map;
  for (int i = 0; i < 100; ++i) map.Set("key" + std::to_string(i), i);
  std::size_t count = 0;
  for (std::size_t shard = 0; shard < ShardedMap<int>::kShardCount; ++shard) {
    std::string previous;
    map.ForEachInShard(shard, [&](const std::string& key, const int& value) {
      EXPECT_EQ(ShardedMap<int>::ShardIndex(key), shard);
      EXPECT_LT(previous, key);
      EXPECT_EQ("key" + std::to_string(value), key);
      previous = key;
      ++count;
    });
  }
  EXPECT_EQ(count, 100u);
  map.Clear();
  map.ForEach([](const std::string& key, const int&) { ADD_FAILURE() << key << " survived"; });
}

TEST(ServiceCacheTest, AnEmptyDataPointerIsStillAnEntryAndTheLaterStoreWins) {
  ServiceCache cache;
  const std::int64_t before = DataEx::Now();
  EXPECT_TRUE(cache.Set("/input:x", DataEx(nullptr)));
  std::optional<DataEx> empty = cache.Find("/input:x");
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(empty->data, nullptr);
  EXPECT_GE(empty->modified, before);

  // Stamps follow the microsecond clock; wait until it has moved on.
  while (DataEx::Now() == empty->modified) std::this_thread::yield();
  auto data = std::make_shared<PortDataScalar>(std::string("v"));
  EXPECT_FALSE(cache.Set("/input:x", DataEx(data)));
  std::optional<DataEx> stored = cache.Find("/input:x");
  EXPECT_EQ(stored->data, data);  // shared, not copied
  EXPECT_GT(stored->modified, empty->modified);
  EXPECT_TRUE(cache.Erase("/input:x"));
  EXPECT_EQ(DataEx().modified, 0);
  EXPECT_EQ(DataEx().data, nullptr);
}

TEST(ObjectStatusTest, TextsOfTheStatusCodes) {
  struct Case {
    int status;
    const char* text;
  };
  const Case kCases[] = {
      {1, "queue"},     {2, "executing"},  {3, "ready"},           {0, "undefined"},
      {4, "undefined"}, {-1, "undefined"}, {INT_MAX, "undefined"},
  };
  for (const Case& c : kCases) EXPECT_STREQ(zelph::ObjectStatusText(c.status), c.text) << c.status;
}

}  // namespace
