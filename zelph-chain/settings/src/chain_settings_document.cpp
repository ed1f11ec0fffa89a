// chain_settings_document.cpp
//
// Pieces shared by both forms of the chain settings document.
#include "chain_settings_document.h"

#include <cmath>

#include "zelph/logger/log.h"

namespace zelph::settings {

void WriteString(DocumentWriter& writer, std::string_view text) {
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void WriteKey(DocumentWriter& writer, std::string_view key) {
  writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
}

void WriteValue(DocumentWriter& writer, const PropertyVariant& value) {
  switch (value.index()) {
    case 0:
      writer.Int(std::get<int>(value));
      break;
    case 1:
      writer.Int64(std::get<long long>(value));
      break;
    case 2: {
      const double number = std::get<double>(value);
      if (std::isfinite(number)) {
        writer.Double(number);
      } else {
        writer.Null();
      }
      break;
    }
    case 3:
      WriteString(writer, std::get<std::string>(value));
      break;
    default:
      writer.Bool(std::get<bool>(value));
      break;
  }
}

void WriteItems(DocumentWriter& writer, const std::vector<BaseEnumValue>& items) {
  WriteKey(writer, "items");
  writer.StartArray();
  for (const BaseEnumValue& item : items) {
    writer.StartObject();
    WriteKey(writer, "caption");
    WriteString(writer, item.caption);
    WriteKey(writer, "value");
    WriteString(writer, item.value);
    writer.EndObject();
  }
  writer.EndArray();
}

bool CanWriteChainSettings(JsonParser parser) {
  if (parser == JsonParser::kRapidJson) return true;
  if (parser == JsonParser::kMiniJson) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported chain settings writer");
  }
  return false;
}

}  // namespace zelph::settings
