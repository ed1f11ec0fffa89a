// handler_text.cpp
//
// Property value texts.
#include "zelph/rpc/handler_text.h"

#include <stdexcept>
#include <type_traits>

std::string PropertyValueToText(const PropertyVariant& value) {
  if (value.valueless_by_exception()) throw std::runtime_error("Unsupported type property");
  return std::visit(
      [](const auto& held) -> std::string {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, std::string>) {
          return held;
        } else if constexpr (std::is_same_v<Held, bool>) {
          return held ? "1" : "0";
        } else {
          return std::to_string(held);
        }
      },
      value);
}
