// property.h
//
// The part of the data-process model's property bag that the configuration uses: string
// values stored under a key with a changed mark, behind the bag's reader/writer lock. The
// full bag (five value types, change passes, conversions) belongs to the data-process model
// and takes the place of this file when the model library is built in.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>

struct PropertyValue {
  bool changed = false;
  std::string value;
};

class Property {
 public:
  Property() = default;
  virtual ~Property() = default;
  Property(const Property&) = delete;
  Property& operator=(const Property&) = delete;

  // Inserts or replaces the value and marks it changed.
  void SetValue(const std::string& key, std::string value) {
    std::unique_lock lock(mutex_);
    entries_[key] = PropertyValue{true, std::move(value)};
  }

  std::string GetValueAsString(const char* key, const std::string& default_value) const {
    std::shared_lock lock(mutex_);
    const auto entry = entries_.find(key);
    return entry == entries_.end() ? default_value : entry->second.value;
  }

  // Calls `function` for every entry in ascending key order under the shared lock.
  void ForEach(std::function<void(const std::string&, PropertyValue&)> function) {
    std::shared_lock lock(mutex_);
    for (auto& [key, value] : entries_) function(key, value);
  }

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::string, PropertyValue> entries_;
};
