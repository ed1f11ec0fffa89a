// project_configuration_parse.cpp
//
// Back-end choice for building and filling settings trees: only the document back-end
// reads them.
#include "zelph/logger/log.h"
#include "zelph/settings/project_configuration_reader.h"

namespace {

// Logs why `parser` cannot read settings; true when it can.
bool CanReadSettings(JsonParser parser) {
  if (parser == JsonParser::kRapidJson) return true;
  if (parser == JsonParser::kMiniJson) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported minijson parser");
  } else {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported json parser");
  }
  return false;
}

}  // namespace

std::shared_ptr<ProjectConfiguration> ParseProjectConfiguration(
    std::shared_ptr<IDataProcessChain> chain, JsonParser parser) {
  if (!CanReadSettings(parser)) return nullptr;
  return BuildProjectConfiguration(std::move(chain));
}

bool ParseProjectConfigurationActualValues(const std::string& json, JsonParser parser,
                                           std::shared_ptr<ProjectConfiguration> configuration) {
  if (!CanReadSettings(parser)) return false;
  return ApplyProjectConfigurationValues(json, std::move(configuration));
}
