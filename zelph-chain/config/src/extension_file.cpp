// extension_file.cpp
//
// ParseExtensionFile: lenient about the members of a platform (logged and skipped), strict
// about the file's frame and the "folders" values, which fail the whole reading.
#include "zelph/config/rapidjson.h"

#include <stdexcept>
#include <string_view>

#include "option_file_reading.h"
#include "zelph/config/data_extension.h"
#include "zelph/logger/log.h"

namespace zelph {
namespace {

using rapidjson::Value;

void AppendStrings(const Value& array, std::vector<std::string>& target,
                   const char* element_error) {
  for (const Value& element : array.GetArray()) {
    if (element.IsString()) {
      target.emplace_back(element.GetString(), element.GetStringLength());
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kError, "{}", element_error);
    }
  }
}

void ReadFolders(const Value& folders, DataExtension::DataPlatformDir& target) {
  for (const auto& member : folders.GetObject()) {
    const std::string_view key = member.name.GetString();
    std::string* field = key == "specifications" ? &target.specifications
                         : key == "modules"      ? &target.modules
                         : key == "libraries"    ? &target.libraries
                         : key == "resources"    ? &target.resources
                                                 : nullptr;
    if (field != nullptr) *field = member.value.GetString();
  }
}

void ReadConfiguration(const Value& configuration,
                       DataExtension::DataPlatformConfiguration& target) {
  for (const auto& member : configuration.GetObject()) {
    const std::string_view key = member.name.GetString();
    if (key == "classpath" || key == kPlatformClasspathKey) {
      if (member.value.IsArray()) {
        AppendStrings(member.value, target.classpath,
                      "Unexpected classpath value type, expected string");
      } else {
        ZELPH_LOG(ZelphSeverityLevel::kError, "Unexpected 'classpath' type, expected array");
      }
    } else if (key == "vm_options") {
      if (member.value.IsArray()) {
        AppendStrings(member.value, target.vm_options,
                      "Unexpected classpath item value type, expected string");
      } else {
        ZELPH_LOG(ZelphSeverityLevel::kError, "Unexpected 'vm_options' type, expected array");
      }
    }
  }
}

void ReadProperties(const Value& properties, std::map<std::string, std::string>& target) {
  for (const auto& member : properties.GetObject()) {
    const Value& value = member.value;
    std::string text;
    if (value.IsString()) {
      text.assign(value.GetString(), value.GetStringLength());
    } else if (value.IsBool()) {
      text = value.GetBool() ? "true" : "false";
    } else if (value.IsInt()) {
      text = std::to_string(value.GetInt());
    } else if (value.IsDouble()) {
      text = std::to_string(value.GetDouble());
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Unexpected property item type");
      continue;
    }
    target[member.name.GetString()] = std::move(text);
  }
}

DataExtension::DataPlatform ReadPlatform(const Value& element) {
  DataExtension::DataPlatform platform;
  for (const auto& member : element.GetObject()) {
    const std::string_view key = member.name.GetString();
    const Value& value = member.value;
    std::string* text = key == "id"            ? &platform.id
                        : key == "name"        ? &platform.name
                        : key == "description" ? &platform.description
                        : key == "technology"  ? &platform.technology
                        : key == "language"    ? &platform.language
                                               : nullptr;
    if (text != nullptr) {
      if (value.IsString()) {
        text->assign(value.GetString(), value.GetStringLength());
      } else {
        ZELPH_LOG(ZelphSeverityLevel::kError, "Unexpected '{}' type, expected string", key);
      }
      continue;
    }
    const bool known = key == "folders" || key == "configuration" || key == "properties";
    if (!known) continue;
    if (!value.IsObject()) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Unexpected '{}' type, expected object", key);
    } else if (key == "folders") {
      ReadFolders(value, platform.folders);
    } else if (key == "configuration") {
      ReadConfiguration(value, platform.configuration);
    } else {
      ReadProperties(value, platform.properties);
    }
  }
  return platform;
}

void ReadExtension(const std::string& path, DataExtension& extension) {
  rapidjson::Document document;
  const rapidjson::ParseResult result = json::ParseJsonFile(path, document);
  if (result.IsError()) throw std::runtime_error(FormatParseErrorCode(result.Code()));
  document.GetObject();

  const auto app = document.FindMember("app");
  if (app == document.MemberEnd()) throw std::runtime_error("Expected 'app' key");
  if (std::string_view(app->value.GetString()) != "executors-extension") {
    throw std::runtime_error("Expected 'app': 'executors-extension'");
  }
  const auto platforms = document.FindMember("platforms");
  if (platforms == document.MemberEnd()) throw std::runtime_error("Expected 'platforms' key");
  if (!platforms->value.IsArray()) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unexpected 'platforms' type, expected array");
    return;
  }
  for (const Value& element : platforms->value.GetArray()) {
    extension.platforms.push_back(ReadPlatform(element));
  }
}

}  // namespace

int ParseExtensionFile(const std::string& path, JsonParser parser, DataExtension& extension) {
  static constexpr OptionFileTexts kTexts{"ParseExtensionFile", "extension file",
                                          "Failed to parse extension"};
  return ReadOptionFile(kTexts, path, parser, [&] { ReadExtension(path, extension); });
}

}  // namespace zelph
