// chain_settings_document.h
//
// What both forms of the chain settings document share: the indented writer, values by
// their alternative, enumeration items, and the back-end rule.
#pragma once

#include "zelph/config/rapidjson.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <string_view>
#include <vector>

#include "zelph/config/zelph_config.h"
#include "zelph/model/base_control.h"
#include "zelph/model/property.h"

namespace zelph::settings {

using DocumentWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

inline constexpr std::string_view kChainSettingsApp = "zelph-chain-settings";

void WriteString(DocumentWriter& writer, std::string_view text);
void WriteKey(DocumentWriter& writer, std::string_view key);
// bool, int, long long and double (null when not finite) as JSON values, text as a string.
void WriteValue(DocumentWriter& writer, const PropertyVariant& value);
// "items": [{"caption": ..., "value": ...}, ...]
void WriteItems(DocumentWriter& writer, const std::vector<BaseEnumValue>& items);
// True for kRapidJson; kMiniJson logs "Unsupported chain settings writer".
bool CanWriteChainSettings(JsonParser parser);

}  // namespace zelph::settings
