// chain_document_reader.cpp
//
// The document back-end's chain reader. Every member that is taken must hold the JSON type
// the format gives it; RapidJSON's assertion hook turns a mismatch into the exception
// "Something wrong in JSON file!", which the section reading catches and records.
#include "zelph/chainfiles/chain_document_reader.h"

#include "zelph/config/rapidjson.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cstring>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "zelph/chain/exception.h"
#include "zelph/chainfiles/chain_file_forms.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"

namespace zelph {
namespace {

using JsonValue = rapidjson::Value;

constexpr const char* kObjectExpected = "Invalid chain JSON format: JSON object expected";
constexpr const char* kArrayExpected = "Invalid chain JSON format: JSON array expected";

// Contexts of the container messages.
constexpr const char* kExecutorContext = "\"executor\" section";
constexpr const char* kExecutionContext = "\"execution\" section";
constexpr const char* kSystemContext = "\"system\" section";
constexpr const char* kBlockContext = "element of \"blocks\" array";
constexpr const char* kPortContext = "element of \"ports\" array";
constexpr const char* kLinkContext = "element of \"links\" array";
constexpr const char* kBlocksContext = "\"blocks\" array";
constexpr const char* kPortsContext = "\"ports\" array";
constexpr const char* kPropertiesContext = "\"properties\" array";
constexpr const char* kLinksContext = "\"links\" array";

bool NameIs(const JsonValue& name, std::string_view text) {
  return std::string_view(name.GetString(), name.GetStringLength()) == text;
}

std::string TextOf(const JsonValue& value) {
  return std::string(value.GetString(), value.GetStringLength());
}

void ExpectJsonObject(const JsonValue& value, const char* context) {
  if (!value.IsObject()) throw Exception(fmt::format("{} ({})", kObjectExpected, context));
}

void ExpectJsonArray(const JsonValue& value, const char* context) {
  if (!value.IsArray()) throw Exception(fmt::format("{} ({})", kArrayExpected, context));
}

// Types by the JSON form alone: string, bool, an integer within the signed 64-bit range as
// long long, any other number as double; everything else is reported and not stored.
void SetPropertyFromJsonValue(const std::string& name, const JsonValue& value, Property& bag) {
  if (value.IsString()) {
    bag.SetValue(name, TextOf(value));
  } else if (value.IsBool()) {
    bag.SetValue(name, value.GetBool());
  } else if (value.IsInt64()) {
    bag.SetValue(name, static_cast<long long>(value.GetInt64()));
  } else if (value.IsNumber() && !value.IsUint64()) {
    bag.SetValue(name, value.GetDouble());
  } else {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported property type for property: {}",
              QuoteClientText(name));
  }
}

void ReadPropertyElement(const JsonValue& element, Property& bag) {
  auto name = element.FindMember("name");
  auto value = element.FindMember("value");
  if (name == element.MemberEnd() || value == element.MemberEnd()) {
    throw Exception(json::kJsonFileError);
  }
  SetPropertyFromJsonValue(TextOf(name->value), value->value, bag);
}

void ReadPropertyArray(const JsonValue& array, Property& bag) {
  ExpectJsonArray(array, kPropertiesContext);
  for (const JsonValue& element : array.GetArray()) ReadPropertyElement(element, bag);
}

void ReadExecutionSection(const JsonValue& execution, DataChain& chain) {
  ExpectJsonObject(execution, kExecutionContext);
  for (const auto& member : execution.GetObject()) {
    if (NameIs(member.name, "all")) {
      chain.all = member.value.GetBool();
    } else if (NameIs(member.name, "multithreading")) {
      chain.multithreading = member.value.GetBool();
    } else if (NameIs(member.name, "ignore_exceptions")) {
      chain.ignore_exceptions = member.value.GetBool();
    }
  }
}

void ReadExecutorSection(const JsonValue& executor, DataChain& chain) {
  ExpectJsonObject(executor, kExecutorContext);
  for (const auto& member : executor.GetObject()) {
    if (NameIs(member.name, "uuid") || NameIs(member.name, "id")) {
      chain.id = TextOf(member.value);
    } else if (NameIs(member.name, "name")) {
      chain.name = TextOf(member.value);
    } else if (NameIs(member.name, "description")) {
      chain.description = TextOf(member.value);
    } else if (NameIs(member.name, "category")) {
      chain.category = TextOf(member.value);
    } else if (NameIs(member.name, "options")) {
      auto execution = member.value.FindMember("execution");
      if (execution != member.value.MemberEnd()) ReadExecutionSection(execution->value, chain);
    }
  }
  // The document was parsed with a depth limit, so this walk is bounded.
  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  writer.SetIndent(' ', 4);
  executor.Accept(writer);
  chain.executor.assign(buffer.GetString(), buffer.GetSize());
}

void ReadPortElement(const JsonValue& element, DataPort& port) {
  ExpectJsonObject(element, kPortContext);
  for (const auto& member : element.GetObject()) {
    if (NameIs(member.name, "uuid")) {
      port.id = TextOf(member.value);
    } else if (NameIs(member.name, "name")) {
      port.name = TextOf(member.value);
    } else if (NameIs(member.name, "data_type_uuid")) {
      port.data_type_id = TextOf(member.value);
    } else if (NameIs(member.name, "type")) {
      port.kind = member.value.GetInt();
    }
  }
}

bool IsPortsKey(const JsonValue& name) {
  return NameIs(name, "ports") || NameIs(name, "in_ports") || NameIs(name, "out_ports") ||
         NameIs(name, "in_control_ports") || NameIs(name, "out_control_ports");
}

bool IsWorkerPropertiesKey(const JsonValue& name) {
  return NameIs(name, "parameters") || NameIs(name, "properties") || NameIs(name, "primitives");
}

void ReadBlock(const JsonValue& element, DataWorker& worker) {
  ExpectJsonObject(element, kBlockContext);
  for (const auto& member : element.GetObject()) {
    const JsonValue& value = member.value;
    if (NameIs(member.name, "uuid")) {
      worker.id = TextOf(value);
    } else if (NameIs(member.name, "executor_id") || NameIs(member.name, "model_uuid")) {
      worker.executor_id = TextOf(value);
    } else if (NameIs(member.name, "executor_name")) {
      worker.name = TextOf(value);
    } else if (NameIs(member.name, "executor_category")) {
      worker.executor_category = TextOf(value);
    } else if (NameIs(member.name, "execution_stage")) {
      worker.SetExecutionStage(TextOf(value));
    } else if (IsPortsKey(member.name)) {
      ExpectJsonArray(value, kPortsContext);
      for (const JsonValue& port_element : value.GetArray()) {
        DataPort port;
        ReadPortElement(port_element, port);
        worker.ports.push_back(std::move(port));
      }
    } else if (IsWorkerPropertiesKey(member.name)) {
      ReadPropertyArray(value, worker.properties);
    } else if (NameIs(member.name, "system")) {
      ExpectJsonObject(value, kSystemContext);
      for (const auto& system : value.GetObject()) {
        SetPropertyFromJsonValue(TextOf(system.name), system.value, worker.system);
      }
    }
  }
}

void ReadLinkElement(const JsonValue& element, DataLink& link) {
  ExpectJsonObject(element, kLinkContext);
  for (const auto& member : element.GetObject()) {
    if (NameIs(member.name, "uuid")) {
      link.id = TextOf(member.value);
    } else if (NameIs(member.name, "src_port_uuid")) {
      link.src_port_id = TextOf(member.value);
    } else if (NameIs(member.name, "dest_port_uuid")) {
      link.dst_port_id = TextOf(member.value);
    }
  }
}

void ReadChainSection(const JsonValue& section, DataChain& chain) {
  for (const auto& member : section.GetObject()) {
    const JsonValue& value = member.value;
    if (NameIs(member.name, "app")) {
      chain.app = TextOf(value);
    } else if (NameIs(member.name, "version")) {
      chain.version = TextOf(value);
    } else if (NameIs(member.name, "properties")) {
      ReadPropertyArray(value, chain.properties);
    } else if (NameIs(member.name, "executor")) {
      ReadExecutorSection(value, chain);
    } else if (NameIs(member.name, "blocks") || NameIs(member.name, "data_processes")) {
      ExpectJsonArray(value, kBlocksContext);
      chain.workers.reserve(chain.workers.size() + value.Size());
      for (const JsonValue& element : value.GetArray()) {
        DataWorker worker;
        ReadBlock(element, worker);
        chain.workers.push_back(std::move(worker));
      }
    } else if (NameIs(member.name, "links")) {
      ExpectJsonArray(value, kLinksContext);
      chain.links.reserve(chain.links.size() + value.Size());
      for (const JsonValue& element : value.GetArray()) {
        DataLink link;
        ReadLinkElement(element, link);
        chain.links.push_back(std::move(link));
      }
    }
  }
}

bool ReadProjectChainSection(const JsonValue& root, DataChain& chain) {
  auto section = root.FindMember("zelph_chain");
  if (section == root.MemberEnd()) section = root.FindMember("chain");
  if (section == root.MemberEnd()) {
    chain.error = "Invalid chain JSON format: expected \"chain\" section";
    return false;
  }
  if (!section->value.IsObject()) {
    chain.error = "Invalid chain JSON format: \"chain\" section is not JSON object";
    return false;
  }
  try {
    ReadChainSection(section->value, chain);
  } catch (const std::exception& e) {
    chain.id.clear();
    chain.error = e.what();
    return false;
  }
  return true;
}

// The root form is what the writers produce; this back-end refuses it, but says why.
void RefuseRootForm(const std::string& app, DataChain& chain) {
  chain.error = fmt::format(
      "Invalid chain JSON format: \"app\" value \"{}\" is read by the minijson parser only",
      QuoteClientText(app));
}

void LogError(const DataChain& chain) {
  if (!chain.error.empty()) ZELPH_LOG(ZelphSeverityLevel::kError, "{}", chain.error);
}

}  // namespace

bool ReadChainJsonText(const char* text, std::size_t length, DataChain& chain) {
  chain.error.clear();
  rapidjson::Document document;
  rapidjson::ParseResult parsed = json::ParseJsonText(text, length, document);
  bool result = false;
  if (parsed.IsError()) {
    chain.error = fmt::format(
        "Invalid chain file, probably it is not JSON: parse error at offset {} (error code: {})",
        parsed.Offset(), static_cast<int>(parsed.Code()));
  } else {
    auto app = document.FindMember("app");
    if (app == document.MemberEnd()) {
      chain.error = "JSON file is not a chain (no required \"app\": \"Davodavora\" value)";
    } else {
      const std::string value = TextOf(app->value);
      switch (ClassifyChainApp(value)) {
        case ChainFileForm::kProject:
          result = ReadProjectChainSection(document, chain);
          break;
        case ChainFileForm::kRoot:
          RefuseRootForm(value, chain);
          break;
        case ChainFileForm::kNone:
          chain.error = "JSON file is not a chain (\"app\" value is \"" + QuoteClientText(value) +
                        "\", not \"Davodavora\")";
          break;
      }
    }
  }
  LogError(chain);
  return result;
}

bool ReadChainJsonFile(const char* path, DataChain& chain) {
  rapidjson::Document document;
  rapidjson::ParseResult parsed = json::ParseJsonFile(path ? path : "", document);
  if (parsed.IsError()) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Chain json parser error: {}",
              static_cast<int>(parsed.Code()));
    return false;
  }
  auto app = document.FindMember("app");
  if (app == document.MemberEnd()) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unexpected chain JSON format, expected 'app' key");
    return false;
  }
  const std::string value = TextOf(app->value);
  bool result = false;
  switch (ClassifyChainApp(value)) {
    case ChainFileForm::kProject:
      result = ReadProjectChainSection(document, chain);
      if (!result) LogError(chain);
      break;
    case ChainFileForm::kRoot:
      RefuseRootForm(value, chain);
      LogError(chain);
      break;
    case ChainFileForm::kNone:
      ZELPH_LOG(ZelphSeverityLevel::kError,
                "Unsupported zelph chain JSON format, unrecognize app: {}", QuoteClientText(value));
      break;
  }
  return result;
}

}  // namespace zelph
