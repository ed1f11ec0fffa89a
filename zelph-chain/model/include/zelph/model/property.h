// property.h
//
// Property: the string-keyed bag of typed values that carries the settings of workers and
// chains. Each stored value carries a `changed` mark; every store sets it, and a consumer
// that applies settings runs ForEachChanged, which clears the mark of each value the
// consumer reports as taken. Values not taken stay marked for the next pass.
//
// Defined completely here: the service, the chain library and the Java bridge compile the
// same definition and pass bags to each other as Property*.
//
// Threading: one reader/writer lock per bag. Readers (GetValue, ReadValue, HasValue,
// GetValueAsString, ForEach, ForEachChanged) hold it shared, stores and whole-bag copies
// exclusively. Callbacks of ForEach/ForEachChanged run under the shared lock and must not
// store into the same bag. ForEachChanged passes over one bag (a worker pushing its values
// on the run thread, a request applying them) run one after the other, since they clear
// marks; their callbacks may read the bag but must not start another ForEachChanged on it.
// A ForEach callback may read a value's mark only while no pass runs over the bag.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "zelph/model/numeric_text.h"

// Alternatives in this order: 0 int, 1 long long, 2 double, 3 std::string, 4 bool.
using PropertyVariant = std::variant<int, long long, double, std::string, bool>;

struct PropertyValue {
  bool changed = false;  // stored since a consumer last took it
  PropertyVariant value;
};

class Property {
 public:
  Property() = default;
  Property(const Property& other) {
    std::scoped_lock lock(other.mutex_);
    entries_ = other.entries_;
  }
  Property(Property&& other) {
    std::scoped_lock lock(other.mutex_);
    entries_ = std::move(other.entries_);
    other.entries_.clear();
  }
  // Both locks are taken together (deadlock-free), so two bags assigned to each other from
  // two threads at once do not hang.
  Property& operator=(const Property& other) {
    if (this != &other) {
      std::scoped_lock lock(other.mutex_, mutex_);
      entries_ = other.entries_;
    }
    return *this;
  }
  Property& operator=(Property&& other) {
    if (this != &other) {
      std::scoped_lock lock(other.mutex_, mutex_);
      entries_ = std::move(other.entries_);
      other.entries_.clear();
    }
    return *this;
  }
  virtual ~Property() = default;

  // Stores insert or replace (the alternative may change) and set the changed mark.
  void SetValue(const std::string& key, int value) { Store(key, value); }
  void SetValue(const std::string& key, long long value) { Store(key, value); }
  void SetValue(const std::string& key, double value) { Store(key, value); }
  void SetValue(const std::string& key, std::string value) { Store(key, std::move(value)); }
  void SetValue(const std::string& key, const char* value) {
    Store(key, std::string(value ? value : ""));
  }
  void SetValue(const std::string& key, bool value) { Store(key, value); }
  // Stores the alternative `value` holds; its own mark is ignored, the stored one is set.
  void SetValue(const std::string& key, const PropertyValue& value) { Store(key, value.value); }

  // A copy of the value (without the mark), or none.
  std::optional<PropertyVariant> GetValue(std::string_view key) const {
    std::shared_lock lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return std::nullopt;
    return it->second.value;
  }
  // Calls `read` with the value under the shared lock, so that a reader can learn a text's
  // size before it copies it; false, without calling it, when the key is absent. `read` must
  // not store into the bag.
  template <typename Read>
  bool ReadValue(std::string_view key, Read&& read) const {
    std::shared_lock lock(mutex_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return false;
    read(std::as_const(it->second.value));
    return true;
  }
  bool HasValue(std::string_view key) const {
    std::shared_lock lock(mutex_);
    return entries_.find(key) != entries_.end();
  }
  // The value as text (PropertyValueToString), or `fallback` when the key is absent.
  std::string GetValueAsString(std::string_view key, const std::string& fallback) const;

  // Calls `fn` for every entry in ascending key order.
  void ForEach(std::function<void(const std::string&, PropertyValue&)> fn) {
    std::shared_lock lock(mutex_);
    for (auto& [key, value] : entries_) fn(key, value);
  }
  // Calls `fn` for every marked entry in ascending key order; the mark is cleared when
  // `fn` returns true (value taken) and kept otherwise.
  void ForEachChanged(std::function<bool(const std::string&, PropertyValue&)> fn) {
    std::lock_guard pass(changed_pass_mutex_);
    std::shared_lock lock(mutex_);
    for (auto& [key, value] : entries_) {
      if (value.changed) value.changed = !fn(key, value);
    }
  }

 private:
  template <typename T>
  void Store(const std::string& key, T&& value) {
    std::unique_lock lock(mutex_);
    PropertyValue& entry = entries_[key];
    entry.value = std::forward<T>(value);
    entry.changed = true;
  }

  mutable std::shared_mutex mutex_;
  // Taken before mutex_ by ForEachChanged only: the marks it clears are written under the
  // shared lock, so passes must not overlap.
  std::mutex changed_pass_mutex_;
  std::map<std::string, PropertyValue, std::less<>> entries_;
};

// Conversions between the alternatives. None fails: texts are read like C atoi/atoll/atof
// (no number gives 0, out-of-range values saturate) and floating values are truncated
// toward zero, NaN and out-of-range values giving the range's minimum.

// Decimal text; doubles as "%f" (1.5 gives "1.500000"); bools as "true"/"false".
inline std::string PropertyValueToString(const PropertyVariant& value) {
  switch (value.index()) {
    case 0:
      return std::to_string(std::get<int>(value));
    case 1:
      return std::to_string(std::get<long long>(value));
    case 2:
      return std::to_string(std::get<double>(value));
    case 3:
      return std::get<std::string>(value);
    default:
      return std::get<bool>(value) ? "true" : "false";
  }
}
// Numbers: non-zero (a NaN is true); texts: only the exact "true".
inline bool PropertyValueToBool(const PropertyVariant& value) {
  switch (value.index()) {
    case 0:
      return std::get<int>(value) != 0;
    case 1:
      return std::get<long long>(value) != 0;
    case 2:
      return !(std::get<double>(value) == 0.0);
    case 3:
      return std::get<std::string>(value) == "true";
    default:
      return std::get<bool>(value);
  }
}
// A long long keeps its low 32 bits.
inline int PropertyValueToInt32(const PropertyVariant& value) {
  switch (value.index()) {
    case 0:
      return std::get<int>(value);
    case 1:
      return static_cast<int>(std::get<long long>(value));
    case 2:
      return zelph::text::TruncateToInt32(std::get<double>(value));
    case 3:
      return zelph::text::AtoI(std::get<std::string>(value).c_str());
    default:
      return std::get<bool>(value) ? 1 : 0;
  }
}
inline long long PropertyValueToInt64(const PropertyVariant& value) {
  switch (value.index()) {
    case 0:
      return std::get<int>(value);
    case 1:
      return std::get<long long>(value);
    case 2:
      return zelph::text::TruncateToInt64(std::get<double>(value));
    case 3:
      return zelph::text::AtoLL(std::get<std::string>(value).c_str());
    default:
      return std::get<bool>(value) ? 1 : 0;
  }
}
inline double PropertyValueToDouble(const PropertyVariant& value) {
  switch (value.index()) {
    case 0:
      return std::get<int>(value);
    case 1:
      return static_cast<double>(std::get<long long>(value));
    case 2:
      return std::get<double>(value);
    case 3:
      return zelph::text::AtoF(std::get<std::string>(value).c_str());
    default:
      return std::get<bool>(value) ? 1.0 : 0.0;
  }
}

inline std::string PropertyValueToString(const PropertyValue& value) {
  return PropertyValueToString(value.value);
}
inline bool PropertyValueToBool(const PropertyValue& value) {
  return PropertyValueToBool(value.value);
}
inline int PropertyValueToInt32(const PropertyValue& value) {
  return PropertyValueToInt32(value.value);
}
inline long long PropertyValueToInt64(const PropertyValue& value) {
  return PropertyValueToInt64(value.value);
}
inline double PropertyValueToDouble(const PropertyValue& value) {
  return PropertyValueToDouble(value.value);
}

// The lock is released before the conversion.
inline std::string Property::GetValueAsString(std::string_view key,
                                              const std::string& fallback) const {
  auto value = GetValue(key);
  return value ? PropertyValueToString(*value) : fallback;
}
