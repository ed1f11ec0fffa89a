// property_test.cpp
//
// The property bag: stores and marks, reads, copies and moves, the change protocol, the
// value conversions, and concurrent use under the thread sanitizer.
#include "zelph/model/property.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace zelph {
namespace {

std::string Dump(Property& bag) {
  std::string text;
  bag.ForEach([&](const std::string& key, PropertyValue& value) {
    text += key + "=" + std::to_string(value.value.index()) + ":" + PropertyValueToString(value) +
            (value.changed ? "*" : "") + ";";
  });
  return text;
}

TEST(PropertyTest, StoresMarkAndMayChangeTheAlternative) {
  Property bag;
  bag.SetValue("k", 5);
  ASSERT_TRUE(bag.GetValue("k"));
  EXPECT_EQ(bag.GetValue("k")->index(), 0u);
  EXPECT_EQ(Dump(bag), "k=0:5*;");
  bag.SetValue("k", 2.5);
  bag.SetValue(std::string("b"), "text");
  bag.SetValue("a", true);
  bag.SetValue("l", 4294967297LL);
  bag.SetValue("s", std::string("str"));
  EXPECT_EQ(Dump(bag), "a=4:true*;b=3:text*;k=2:2.500000*;l=1:4294967297*;s=3:str*;");
  EXPECT_TRUE(bag.HasValue("a"));
  EXPECT_FALSE(bag.HasValue("z"));
  EXPECT_FALSE(bag.GetValue("z"));

  bag.SetValue("p", PropertyValue{false, 7LL});
  EXPECT_EQ(bag.GetValue("p")->index(), 1u);
  bag.ForEachChanged([](const std::string&, PropertyValue&) { return true; });
  bag.SetValue("p", PropertyValue{false, 8});
  EXPECT_EQ(Dump(bag), "a=4:true;b=3:text;k=2:2.500000;l=1:4294967297;p=0:8*;s=3:str;");
}

TEST(PropertyTest, ValueAsStringUsesDefaultOnlyWhenAbsent) {
  Property bag;
  bag.SetValue("d", 2.0);
  bag.SetValue("f", false);
  EXPECT_EQ(bag.GetValueAsString("missing", "dflt"), "dflt");
  EXPECT_EQ(bag.GetValueAsString("d", "dflt"), "2.000000");
  EXPECT_EQ(bag.GetValueAsString("f", "dflt"), "false");
}

TEST(PropertyTest, ConversionTable) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    PropertyVariant value;
    const char* text;
    bool boolean;
    int int32;
    long long int64;
    double dbl;
  };
  const Case cases[] = {
      {5, "5", true, 5, 5, 5.0},
      {-1, "-1", true, -1, -1, -1.0},
      {4294967297LL, "4294967297", true, 1, 4294967297LL, 4294967297.0},
      {-3.9, "-3.900000", true, -3, -3, -3.9},
      {1e300, nullptr, true, INT_MIN, LLONG_MIN, 1e300},
      {nan, nullptr, true, INT_MIN, LLONG_MIN, nan},
      {0.0, "0.000000", false, 0, 0, 0.0},
      {std::string(" 42abc"), " 42abc", false, 42, 42, 42.0},
      {std::string("TRUE"), "TRUE", false, 0, 0, 0.0},
      {std::string("true"), "true", true, 0, 0, 0.0},
      {std::string("99999999999"), "99999999999", false, INT_MAX, 99999999999LL, 99999999999.0},
      {true, "true", true, 1, 1, 1.0},
      {false, "false", false, 0, 0, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(PropertyValueToString(c.value));
    if (c.text) {
      EXPECT_EQ(PropertyValueToString(c.value), c.text);
    }
    EXPECT_EQ(PropertyValueToBool(c.value), c.boolean);
    EXPECT_EQ(PropertyValueToInt32(c.value), c.int32);
    EXPECT_EQ(PropertyValueToInt64(c.value), c.int64);
    const double converted = PropertyValueToDouble(c.value);
    if (std::isnan(c.dbl)) {
      EXPECT_TRUE(std::isnan(converted));
    } else {
      EXPECT_DOUBLE_EQ(converted, c.dbl);
    }
  }
}

TEST(PropertyTest, CopiesAndMovesCarryEntriesAndMarks) {
  Property source;
  source.SetValue("a", 1);
  source.SetValue("b", 2);
  source.ForEachChanged([](const std::string& key, PropertyValue&) { return key == "a"; });

  Property copy(source);
  EXPECT_EQ(Dump(copy), "a=0:1;b=0:2*;");
  copy.SetValue("c", 3);
  EXPECT_FALSE(source.HasValue("c"));

  Property assigned;
  assigned.SetValue("old", 0);
  assigned = copy;
  EXPECT_EQ(Dump(assigned), Dump(copy));
  assigned = *&assigned;
  EXPECT_EQ(Dump(assigned), Dump(copy));

  Property moved(std::move(copy));
  EXPECT_EQ(Dump(moved), "a=0:1;b=0:2*;c=0:3*;");
  EXPECT_EQ(Dump(copy), "");  // NOLINT(bugprone-use-after-move)
  Property target;
  target.SetValue("x", 1);
  target = std::move(moved);
  EXPECT_EQ(Dump(target), "a=0:1;b=0:2*;c=0:3*;");
  EXPECT_EQ(Dump(moved), "");  // NOLINT(bugprone-use-after-move)
}

TEST(PropertyTest, ForEachChangedOffersUntakenValuesAgain) {
  Property bag;
  bag.SetValue("refused", 1);
  bag.SetValue("taken", 2);
  std::string offered;
  auto pass = [&](const std::string& key, PropertyValue&) {
    offered += key + ";";
    return key == "taken";
  };
  bag.ForEachChanged(pass);
  EXPECT_EQ(offered, "refused;taken;");
  offered.clear();
  bag.ForEachChanged(pass);
  EXPECT_EQ(offered, "refused;");
  EXPECT_EQ(Dump(bag), "refused=0:1*;taken=0:2;");
}

// Readers, writers and whole-bag copies on shared bags at once; run under the thread
// sanitizer, any unlocked access shows up as a race.
TEST(PropertyTest, ConcurrentReadersWritersAndCopies) {
  Property bag;
  Property other;
  for (int i = 0; i < 16; ++i) bag.SetValue("key" + std::to_string(i), i);
  std::atomic<bool> stop{false};
  std::atomic<long> reads{0};
  std::vector<std::thread> threads;
  for (int r = 0; r < 4; ++r) {
    threads.emplace_back([&, r] {
      while (!stop) {
        const std::string key = "key" + std::to_string((reads + r) % 16);
        if (auto value = bag.GetValue(key)) {
          PropertyValueToInt64(*value);
        }
        bag.HasValue(key);
        bag.GetValueAsString(key, "");
        ++reads;
      }
    });
  }
  for (int w = 0; w < 2; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < 2000; ++i) {
        const std::string key = "key" + std::to_string(i % 16);
        if (w == 0) {
          bag.SetValue(key, "text" + std::to_string(i));
        } else {
          bag.SetValue(key, i * 0.5);
        }
      }
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 200; ++i) {
      Property copy(bag);
      other = copy;
      bag = other;
    }
  });
  threads.emplace_back([&] {
    for (int i = 0; i < 200; ++i) {
      other = bag;  // assigned both ways at once by the thread above: must not deadlock
    }
  });
  for (size_t i = 4; i < threads.size(); ++i) threads[i].join();
  // On a loaded machine the readers may not have run yet; let each have a turn.
  while (reads < 4) std::this_thread::yield();
  stop = true;
  for (size_t i = 0; i < 4; ++i) threads[i].join();
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(Dump(bag).empty(), false);
}

// A worker pushes its changed values on the run thread while a request applies them on
// another: each marked value is taken once, and callbacks that read the bag do not hang.
TEST(PropertyTest, OverlappingChangePassesTakeEachValueOnce) {
  constexpr int kKeys = 32;
  constexpr int kRounds = 200;
  Property bag;
  std::atomic<int> taken[kKeys] = {};
  std::barrier step(3);  // the main thread and two passes
  auto passes = [&] {
    for (int round = 0; round < kRounds; ++round) {
      step.arrive_and_wait();  // every value marked
      bag.ForEachChanged([&](const std::string& key, PropertyValue&) {
        EXPECT_TRUE(bag.HasValue(key));
        ++taken[std::stoi(key)];
        return true;
      });
      step.arrive_and_wait();  // both passes over
    }
  };
  std::jthread run(passes);
  std::jthread request(passes);
  int not_taken_once = 0;
  for (int round = 0; round < kRounds; ++round) {
    for (int key = 0; key < kKeys; ++key) bag.SetValue(std::to_string(key), round);
    step.arrive_and_wait();
    step.arrive_and_wait();
    for (auto& count : taken) not_taken_once += count.exchange(0) != 1;
  }
  EXPECT_EQ(not_taken_once, 0);
}

}  // namespace
}  // namespace zelph
