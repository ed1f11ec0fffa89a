// handler_text.cpp
//
// Property value texts, splitting and object status names.
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

std::vector<std::string> SplitString(const std::string& text, const std::string& delimiter) {
  if (delimiter.empty()) return {text};
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t found = text.find(delimiter); found != std::string::npos;
       found = text.find(delimiter, start)) {
    pieces.emplace_back(text, start, found - start);
    start = found + delimiter.size();
  }
  pieces.emplace_back(text, start);
  return pieces;
}

std::string ExecutionStatusName(int status) {
  switch (status) {
    case 1:
      return "queue";
    case 2:
      return "executing";
    case 3:
      return "ready";
    default:
      return "undefined";
  }
}
