// base_control.cpp
//
// Control descriptions: defaults, bounds and the texts of the edition kinds.
#include "zelph/model/base_control.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace zelph {

namespace {

constexpr double kNoBound = std::numeric_limits<double>::quiet_NaN();

// Texts by kind value; index 0 is the fallback.
constexpr std::array<const char*, 9> kKindTexts = {
    "unknown", "enum", "range", "value", "text", "file", "file_to_save", "folder", "color"};

}  // namespace

ControlKind StringToControlKind(const char* text) {
  // "unknown" itself is not looked up: it gives 0 like any other unmatched text.
  for (int kind : {3, 1, 2, 4, 5, 6, 7, 8}) {
    if (std::strcmp(text, kKindTexts[kind]) == 0) return static_cast<ControlKind>(kind);
  }
  return ControlKind::kUnknown;
}

std::string ControlKindToString(ControlKind kind) {
  const auto index = static_cast<std::int32_t>(kind);
  return kKindTexts[index >= 1 && index <= 8 ? index : 0];
}

BaseEnumValue::BaseEnumValue(const std::string& value, const std::string& caption)
    : value(value), caption(caption) {}

BaseControl::BaseControl()
    : default_{true, 0}, value_type_(DataTypeNull::GetInstance()), min_(kNoBound), max_(kNoBound) {}

bool BaseControl::HasMin() const { return !std::isnan(min_); }

void BaseControl::SetHasMin(bool has) {
  if (!has) min_ = kNoBound;
}

bool BaseControl::HasMax() const { return !std::isnan(max_); }

void BaseControl::SetHasMax(bool has) {
  if (!has) max_ = kNoBound;
}

}  // namespace zelph
