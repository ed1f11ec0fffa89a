// property_binding.h
//
// A binding of one worker property to a variable of the implementation: a changed value
// handed to IDataProcess::UpdateChangedProperty is converted to the variable's type, written
// to it, and passed to an optional callback. The worker's bindings take no lock.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <variant>

#include "zelph/model/property.h"

namespace zelph {

class PropertyBinding {
 public:
  PropertyBinding() = default;
  // T is one of bool, int, long long, double, std::string; `target` is owned by the caller.
  template <typename T>
  PropertyBinding(T* target, std::function<void(const T&)> on_change)
      : slot_(Slot<T>{target, std::move(on_change)}) {}

  // 1 bool, 2 int, 3 long long, 4 double, 5 std::string; 0 for an empty binding.
  int GetKind() const { return static_cast<int>(slot_.index()); }

  // Converts, stores into the target, then calls the callback when one is set.
  void Apply(const PropertyValue& value) const {
    std::visit([&value](const auto& slot) { Deliver(slot, value); }, slot_);
  }

 private:
  template <typename T>
  struct Slot {
    T* target;
    std::function<void(const T&)> on_change;
  };

  static void Deliver(const std::monostate&, const PropertyValue&) {}
  template <typename T>
  static void Deliver(const Slot<T>& slot, const PropertyValue& value) {
    T converted = Convert<T>(value);
    *slot.target = converted;
    if (slot.on_change) slot.on_change(converted);
  }
  template <typename T>
  static T Convert(const PropertyValue& value) {
    if constexpr (std::is_same_v<T, bool>) return PropertyValueToBool(value);
    if constexpr (std::is_same_v<T, int>) return PropertyValueToInt32(value);
    if constexpr (std::is_same_v<T, long long>) return PropertyValueToInt64(value);
    if constexpr (std::is_same_v<T, double>) return PropertyValueToDouble(value);
    if constexpr (std::is_same_v<T, std::string>) return PropertyValueToString(value);
  }

  std::variant<std::monostate, Slot<bool>, Slot<int>, Slot<long long>, Slot<double>,
               Slot<std::string>>
      slot_;
};

}  // namespace zelph
