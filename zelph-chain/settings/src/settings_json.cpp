// settings_json.cpp
//
// Settings objects (default and actual values) applied to settings nodes.
#include "settings_json.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <exception>
#include <string_view>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/settings/setting_value_conversion.h"

namespace zelph::settings {
namespace {

// A member "@name" addresses the child node (or settings control) called "name".
bool IsChildKey(std::string_view key) { return !key.empty() && key.front() == '@'; }

std::string CompactJson(const rapidjson::Value& value) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  value.Accept(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

// The control's new value for a scalar JSON value; null, object and array are the
// caller's to report.
PropertyValue ConvertScalar(const rapidjson::Value& value, const DataSettingControl& control) {
  if (value.IsBool()) return JsonBoolToPropertyValue(value, control.value_type);
  if (value.IsString()) return JsonStringToPropertyValue(value, control.value_type);
  return JsonNumberToPropertyValue(value, control.value_type);
}

void ApplyChildActualValue(const std::string& key, const rapidjson::Value& value,
                           MainSetting& node) {
  const std::string name = key.substr(1);
  if (const auto child = node.FindChildByName(name)) {
    ApplyActualValues(value, std::dynamic_pointer_cast<MainSetting>(child));
    return;
  }
  if (!value.IsObject()) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning, "Unsupported actual value type of node: '{}'",
              QuoteClientText(key));
    return;
  }
  // A "settings" control whose model was not found keeps its subtree as JSON text.
  std::string text = CompactJson(value);
  if (const auto control = node.FindControl(name)) {
    control->value = PropertyValue{true, std::move(text)};
  } else {
    ZELPH_LOG(ZelphSeverityLevel::kWarning, "Control '{}' value not saved: '{}'",
              QuoteClientText(name), QuoteClientText(text));
  }
}

void ApplyControlActualValue(const std::string& key, const rapidjson::Value& value,
                             MainSetting& node) {
  const auto control = node.FindControl(key);
  if (!control) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning,
              "Failed update main setting subtree actual value: 'property not found: {}'",
              QuoteClientText(key));
    return;
  }
  try {
    if (value.IsNull() || value.IsObject() || value.IsArray()) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported configuration setting type");
      return;
    }
    control->value = ConvertScalar(value, *control);
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Cannot update settings: \"{}\", error: {}",
              QuoteClientText(key), QuoteClientText(error.what()));
  }
}

}  // namespace

rapidjson::ParseResult ParseSettingsText(const std::string& text, rapidjson::Document& document) {
  return json::ParseJsonText(text.data(), text.size(), document);
}

void ApplyActualValues(const rapidjson::Value& settings, const std::shared_ptr<MainSetting>& node) {
  if (!node) return;
  for (const auto& member : settings.GetObject()) {
    const std::string key = member.name.GetString();
    if (IsChildKey(key)) {
      ApplyChildActualValue(key, member.value, *node);
    } else {
      ApplyControlActualValue(key, member.value, *node);
    }
  }
}

void ApplyDefaultValuesJson(const rapidjson::Value& settings, SettingNode& node) {
  for (const auto& member : settings.GetObject()) {
    const std::string key = member.name.GetString();
    const rapidjson::Value& value = member.value;
    if (IsChildKey(key) && value.IsObject()) {
      const std::string name = key.substr(1);
      for (const auto& child : node.children) {
        if (child->name == name) ApplyDefaultValuesJson(value, *child);
      }
      continue;
    }
    if (value.IsObject() || value.IsArray()) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported json setting type, name: {}",
                QuoteClientText(key));
      continue;
    }
    const auto control = node.FindControl(key);
    if (!control) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Setting control not found: {}", QuoteClientText(key));
      continue;
    }
    if (value.IsNull()) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported data type");
      continue;
    }
    control->value = ConvertScalar(value, *control);
  }
}

void ApplySettingsText(const std::string& text, const std::shared_ptr<MainSetting>& main) {
  if (text.empty()) return;
  rapidjson::Document document;
  const rapidjson::ParseResult result = ParseSettingsText(text, document);
  if (result.IsError()) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Failed to parse JSON 'settings'. Error(offset: {}) error: {}", result.Offset(),
              static_cast<int>(result.Code()));
    return;
  }
  ApplyActualValues(document, main);
}

}  // namespace zelph::settings
