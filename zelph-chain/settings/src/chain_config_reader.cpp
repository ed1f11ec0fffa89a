// chain_config_reader.cpp
//
// Chain configuration documents read into per-worker property and system bags.
#include "zelph/config/rapidjson.h"

#include <exception>
#include <stdexcept>
#include <string_view>

#include "zelph/logger/log.h"
#include "zelph/settings/chain_config_reader.h"

namespace zelph::parse {
namespace {

constexpr std::string_view kChainConfigApp = "zelph-chain-config";

void ReadChainConfigValues(const rapidjson::Value& values, Property& bag) {
  for (const auto& member : values.GetObject()) {
    const std::string name = member.name.GetString();  // up to the first NUL
    const rapidjson::Value& value = member.value;
    if (value.IsNull()) {
      ZELPH_LOG(ZelphSeverityLevel::kWarning,
                "JSON null not supported of chain config worker property value");
    } else if (value.IsBool()) {
      bag.SetValue(name, value.GetBool());
    } else if (value.IsString()) {
      bag.SetValue(name, std::string(value.GetString()));
    } else if (value.IsInt()) {
      bag.SetValue(name, value.GetInt());
    } else if (value.IsInt64()) {
      bag.SetValue(name, static_cast<long long>(value.GetInt64()));
    } else if (value.IsNumber()) {
      bag.SetValue(name, value.GetDouble());
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kWarning,
                "JSON object or arrays not supported of chain config worker property value");
    }
  }
}

const rapidjson::Value& RequireMember(const rapidjson::Value& object, const char* name,
                                      const char* missing) {
  const auto member = object.FindMember(name);
  if (member == object.MemberEnd()) throw std::runtime_error(missing);
  return member->value;
}

bool ReadChainConfigRapidJson(const std::string& json, DataChainConfig& config) {
  try {
    rapidjson::Document document;
    const rapidjson::ParseResult result = json::ParseJsonText(json.data(), json.size(), document);
    if (result.IsError()) throw std::runtime_error(FormatParseErrorCode(result.Code()));
    if (!document.IsObject()) json::ThrowJsonAssertion();
    const rapidjson::Value& app = RequireMember(document, "app", "Expected 'app' key");
    if (std::string_view(app.GetString()) != kChainConfigApp) {
      throw std::runtime_error("Expected 'app': 'zelph-chain-config'");
    }
    const rapidjson::Value& workers = RequireMember(document, "workers", "Expected 'workers' key");
    for (const auto& worker : workers.GetObject()) {
      const std::string key = worker.name.GetString();
      const rapidjson::Value& sections = worker.value;
      if (!sections.IsObject()) json::ThrowJsonAssertion();
      Property properties;
      Property system;
      if (const auto it = sections.FindMember("properties"); it != sections.MemberEnd()) {
        ReadChainConfigValues(it->value, properties);
      }
      if (const auto it = sections.FindMember("system"); it != sections.MemberEnd()) {
        ReadChainConfigValues(it->value, system);
      }
      // A key met again replaces both bags of the earlier occurrence.
      DataWorkerConfig& entry = config[key];
      entry.properties = std::move(properties);
      entry.system = std::move(system);
    }
    return true;
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed to parse chain settings: {}", error.what());
    return false;
  }
}

}  // namespace

DataChainConfig ParseChainConfig(const std::string& json, JsonParser parser) {
  DataChainConfig config;
  if (parser == JsonParser::kRapidJson) {
    ReadChainConfigRapidJson(json, config);
  } else {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported json chain settings parser");
  }
  return config;
}

}  // namespace zelph::parse
