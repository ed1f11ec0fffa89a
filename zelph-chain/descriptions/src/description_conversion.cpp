// description_conversion.cpp
#include "description_conversion.h"

#include <fmt/format.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "data_type_lookup.h"
#include "zelph/config/config_log.h"
#include "zelph/model/numeric_text.h"

namespace zelph::descriptions {

namespace {

const IDataType* RequireValueType(const std::string& name) {
  const IDataType* type = FindDataType(name);
  if (type == nullptr) {
    throw std::runtime_error(fmt::format("Unsupported control value type: '{}'", name));
  }
  return type;
}

PropertyVariant ConvertText(const IDataType* type, const std::string& text) {
  using std::in_place_type;
  if (DataTypeInt32::Equals(type)) {
    return PropertyVariant(in_place_type<int>, text.empty() ? 0 : text::StoI(text));
  }
  if (DataTypeDouble::Equals(type)) {
    return PropertyVariant(in_place_type<double>, text.empty() ? 0.0 : text::StoD(text));
  }
  if (DataTypeStr::Equals(type) || DataTypeScalar::Equals(type)) {
    return PropertyVariant(in_place_type<std::string>, text);
  }
  if (DataTypeBool::Equals(type)) return PropertyVariant(in_place_type<bool>, text == "true");
  if (DataTypeShort::Equals(type) || DataTypeInt64::Equals(type)) {
    return PropertyVariant(in_place_type<long long>, text.empty() ? 0LL : text::StoLL(text));
  }
  if (DataTypeFloat::Equals(type)) {
    return PropertyVariant(in_place_type<double>, text.empty() ? 0.0 : text::StoD(text));
  }
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "Unsupported number conversion of property");
  return PropertyVariant(in_place_type<int>, 0);
}

bool IsPathKind(ControlKind kind) {
  return kind == ControlKind::kFile || kind == ControlKind::kFileToSave ||
         kind == ControlKind::kFolder;
}

ControlParity ParityOf(const JsonControl& control) {
  if (control.even) return ControlParity::kEven;
  if (control.odd) return ControlParity::kOdd;
  return ControlParity::kAny;
}

}  // namespace

PropertyValue ConvertDefault(const IDataType* type, const std::string& text,
                             const std::string& control_name) {
  try {
    return PropertyValue{true, ConvertText(type, text)};
  } catch (const std::logic_error& error) {  // invalid_argument and out_of_range
    throw std::runtime_error(
        fmt::format("Exception: {}, property: {}", error.what(), control_name));
  }
}

BaseControl ConvertControl(const JsonControl& control) {
  constexpr double kNoBound = std::numeric_limits<double>::quiet_NaN();
  const IDataType* type = RequireValueType(control.value_type_name);
  const ControlKind kind = StringToControlKind(control.edition_kind.c_str());

  BaseControl result;
  result.SetName(control.name);
  result.SetCaption(control.caption);
  result.SetDescription(control.description);
  result.SetHint(control.hint);
  result.SetEditionKind(kind);
  result.SetMin(control.min.value_or(kNoBound));
  result.SetMax(control.max.value_or(kNoBound));
  result.SetMultiline(control.multiline);
  result.SetEditionRows(control.edition_rows);
  result.SetValueType(type);
  result.SetValueTypeName(control.value_type_name);
  result.SetValueClassName(control.value_class_name);
  result.SetSettingsId(control.settings_id);
  result.SetIsAdvanced(control.advanced);
  result.SetIsResource(control.resource.value_or(IsPathKind(kind)));
  result.SetDefault(ConvertDefault(type, control.default_text, control.name));
  result.SetParity(ParityOf(control));
  for (const JsonEnumItem& item : control.items) {
    result.AddValue(BaseEnumValue(item.value, item.caption));
  }
  return result;
}

std::vector<std::unique_ptr<Port>> ConvertPorts(const std::vector<JsonPort>& ports) {
  std::vector<std::unique_ptr<Port>> result;
  result.reserve(ports.size());
  for (const JsonPort& collected : ports) {
    const IDataType* type = FindDataType(collected.data_type_name);
    if (type == nullptr) {
      throw std::runtime_error(fmt::format("Data type not found: {}", collected.data_type_name));
    }
    auto port = std::make_unique<Port>();
    port->SetType(collected.type);
    port->SetDataType(type);
    port->SetName(collected.name);
    port->SetHint(collected.hint);
    port->SetCaption(collected.caption);
    port->SetOptional(collected.optional);
    port->SetAliases(collected.aliases);
    result.push_back(std::move(port));
  }
  return result;
}

}  // namespace zelph::descriptions
