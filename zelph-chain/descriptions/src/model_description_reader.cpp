// model_description_reader.cpp
//
// The entry points and the order of a read: keep the text, parse it, convert controls,
// then ports (all or none), then judge "app"; log a failure with the whole text.
#include "zelph/descriptions/model_description_reader.h"

#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "collected_description.h"
#include "description_conversion.h"
#include "description_format.h"
#include "zelph/config/config_log.h"
#include "zelph/config/json_stream_reader.h"
#include "zelph/config/text_file.h"

namespace {

using zelph::BaseModelStructure;

constexpr std::string_view kDeprecatedApp = "data-process-model-description";

// A NUL inside the given length ends the text; the length may count a terminating NUL.
std::string_view TextUpToNul(const char* text, std::size_t length) {
  if (text == nullptr) return {};
  const void* nul = std::memchr(text, '\0', length);
  return {text,
          nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : length};
}

void LogModelKind(const BaseModelStructure& structure) {
  if (structure.GetOptionalFlag(zelph::kInputModel)) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kTrace, "Input model: {}", structure.ToString());
  } else if (structure.GetOptionalFlag(zelph::kOutputModel)) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kTrace, "Output model, {}", structure.ToString());
  } else if (structure.GetOptionalFlag(zelph::kRelativePathModel)) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kTrace, "Relative path model: {}", structure.ToString());
  }
}

// Steps after the parse; a throw leaves the controls converted so far in the structure.
void ApplyCollected(const zelph::descriptions::CollectedDescription& collected,
                    BaseModelStructure& structure) {
  for (const auto& control : collected.controls) {
    structure.AddControl(zelph::descriptions::ConvertControl(control));
  }
  for (auto& port : zelph::descriptions::ConvertPorts(collected.ports)) {
    structure.AddPort(port.release());
  }
  if (collected.app == kDeprecatedApp) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kWarning,
                     "'app' value 'data-process-model-description' is deprecated, using "
                     "'executer' details: {}",
                     structure.ToString());
  }
}

bool ReadModel(std::string_view text, BaseModelStructure& structure) {
  structure.SetJsonStructure(std::string(text));
  bool read = false;
  try {
    const zelph::json::StreamReader reader(text.data(), text.size());
    zelph::descriptions::CollectedDescription collected;
    zelph::descriptions::ReadDescription(reader, structure, collected);
    ApplyCollected(collected, structure);
    read = true;
  } catch (const std::exception& error) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "{}", error.what());
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "{}", text);
  }
  LogModelKind(structure);
  return read;
}

// The whole content of the regular file at `path`; nothing when it cannot be read whole.
std::optional<std::string> ReadFile(const char* path) {
  std::string text;
  if (!path || !zelph::ReadTextFile(path, text)) return std::nullopt;
  return text;
}

bool ReadModelFile(const char* path, BaseModelStructure& structure) {
  const auto text = ReadFile(path);
  return text && ReadModel(TextUpToNul(text->data(), text->size()), structure);
}

void LogNoRapidJsonReader() {
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "RapidJson model structure parser not implemented");
}

}  // namespace

bool DeserializeModelFromJson(const char* text, std::size_t length, JsonParser parser,
                              std::shared_ptr<IDataProcessModel> model) {
  if (!model) return false;
  BaseModelStructure structure;
  bool read = false;
  if (parser == JsonParser::kMiniJson) {
    read = ReadModel(TextUpToNul(text, length), structure);
  } else {
    LogNoRapidJsonReader();
  }
  model->SetStructure(std::move(structure));
  return read;
}

bool DeserializeModelFromJsonFile(const char* path, JsonParser parser,
                                  std::shared_ptr<IDataProcessModel> model) {
  if (!model) return false;
  BaseModelStructure structure;
  bool read = false;
  if (parser == JsonParser::kMiniJson) {
    read = ReadModelFile(path, structure);
  } else {
    LogNoRapidJsonReader();
  }
  model->SetStructure(std::move(structure));
  return read;
}

bool DeserializeModelStructureFromJsonFile(const char* path, JsonParser parser,
                                           BaseModelStructure* structure) {
  if (structure == nullptr) return false;
  if (parser != JsonParser::kMiniJson) {
    LogNoRapidJsonReader();
    return false;
  }
  return ReadModelFile(path, *structure);
}

bool DeserializeParentModelStructureFromJsonFile(const char* path, JsonParser parser,
                                                 BaseModelStructure* structure) {
  if (structure == nullptr) return false;
  if (parser != JsonParser::kMiniJson) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError,
                     "RapidJson parent model structure parser not implemented");
    return false;
  }
  const auto text = ReadFile(path);
  if (!text) return false;
  try {
    const std::string_view content = TextUpToNul(text->data(), text->size());
    const zelph::json::StreamReader reader(content.data(), content.size());
    zelph::descriptions::ReadParentDescription(reader, *structure);
    return true;
  } catch (const std::exception& error) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "{}", error.what());
    return false;
  }
}
