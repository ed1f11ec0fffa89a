// jvm_file.cpp
//
// ParseJvmFile: strict, one misplaced value fails the file (through RapidJSON's typed
// accessors and the assertion hook).
#include "zelph/config/rapidjson.h"

#include <stdexcept>
#include <string_view>

#include "option_file_reading.h"
#include "zelph/config/data_jvm.h"

namespace zelph {
namespace {

std::list<std::string> ReadStrings(const rapidjson::Value& array) {
  std::list<std::string> strings;
  for (const rapidjson::Value& element : array.GetArray()) {
    strings.emplace_back(element.GetString(), element.GetStringLength());
  }
  return strings;
}

void ReadJvm(const std::string& path, DataJvm& jvm) {
  rapidjson::Document document;
  const rapidjson::ParseResult result = json::ParseJsonFile(path, document);
  if (result.IsError()) throw std::runtime_error(FormatParseErrorCode(result.Code()));
  for (const auto& member : document.GetObject()) {
    const std::string_view key = member.name.GetString();
    std::list<std::string>* list = key == "classpath"            ? &jvm.classpath
                                   : key == "vm_options"         ? &jvm.vm_options
                                   : key == "vm_options_exclude" ? &jvm.vm_options_exclude
                                                                 : nullptr;
    if (list != nullptr) *list = ReadStrings(member.value);
  }
}

}  // namespace

int ParseJvmFile(const std::string& path, JsonParser parser, DataJvm& jvm) {
  static constexpr OptionFileTexts kTexts{"ParseJvmFile", "JVM file", "Failed to parse JVM JSON"};
  return ReadOptionFile(kTexts, path, parser, [&] { ReadJvm(path, jvm); });
}

}  // namespace zelph
