// settings_json.h
//
// The steps that fill a settings tree from parsed JSON, shared by the tree builder (default
// values of the main-settings worker) and the configuration-document reader (actual values).
#pragma once

#include "zelph/config/rapidjson.h"

#include <memory>
#include <string>

#include "zelph/settings/setting_node.h"

namespace zelph::settings {

// Parses `text` (one JSON value, nothing but blanks after it) into `document`.
rapidjson::ParseResult ParseSettingsText(const std::string& text, rapidjson::Document& document);

// Applies a settings object of actual values to `node` and its subtree. Per-member
// conversion failures are logged and skipped; a value of the wrong JSON kind where an object
// is needed throws. An empty `node` does nothing.
void ApplyActualValues(const rapidjson::Value& settings, const std::shared_ptr<MainSetting>& node);

// Applies a settings object of default values to `node` and its subtree. Nothing is caught:
// a conversion failure leaves as its exception.
void ApplyDefaultValuesJson(const rapidjson::Value& settings, SettingNode& node);

// Parses `text` and applies it as actual values to `main`; an empty text does nothing and a
// syntax error is logged and leaves the tree as it is.
void ApplySettingsText(const std::string& text, const std::shared_ptr<MainSetting>& main);

}  // namespace zelph::settings
