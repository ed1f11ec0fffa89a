// configuration_documents.cpp
//
// The configuration documents, built in memory and then pretty printed in one go.
#include "zelph/projects/configuration_documents.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cmath>
#include <ostream>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"

namespace zelph {
namespace {

constexpr std::string_view kConfigurationApp = "zelph-project-configuration";
// Controls of the client's own state, never part of a configuration.
constexpr std::string_view kHiddenControlPrefix = "_cs___";
constexpr std::string_view kSettingsValueType = "settings";

using Allocator = rapidjson::Document::AllocatorType;

rapidjson::Value Text(std::string_view text, Allocator& allocator) {
  return rapidjson::Value(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator);
}

rapidjson::Value ChildKey(const std::string& name, Allocator& allocator) {
  return Text("@" + name, allocator);
}

// JSON cannot hold NaN or the infinities, and a writer that meets one stops in the middle
// of the document: those are written as null.
rapidjson::Value ToJson(const PropertyVariant& value, Allocator& allocator) {
  rapidjson::Value json;
  switch (value.index()) {
    case 0:
      json.SetInt(std::get<int>(value));
      break;
    case 1:
      json.SetInt64(std::get<long long>(value));
      break;
    case 2:
      if (const double number = std::get<double>(value); std::isfinite(number)) {
        json.SetDouble(number);
      }
      break;
    case 3:
      json = Text(std::get<std::string>(value), allocator);
      break;
    default:
      json.SetBool(std::get<bool>(value));
      break;
  }
  return json;
}

// A "settings" control keeps a JSON text that is written as JSON; one that does not parse
// is left out.
void AddEmbeddedSettings(const DataSettingControl& control, const std::string& text,
                         rapidjson::Value& object, Allocator& allocator) {
  rapidjson::Document parsed;
  if (json::ParseJsonText(text.data(), text.size(), parsed).IsError()) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning,
              "Failed write setting control: '{}', json parse error, json: {}",
              QuoteClientText(control.name), QuoteClientText(text));
    return;
  }
  object.AddMember(ChildKey(control.name, allocator), rapidjson::Value(parsed, allocator),
                   allocator);
}

void AddControlValue(const DataSettingControl& control, rapidjson::Value& object,
                     Allocator& allocator) {
  if (std::string_view(control.name).starts_with(kHiddenControlPrefix)) return;
  const PropertyVariant& value = control.value.value;
  if (const auto* text = std::get_if<std::string>(&value);
      text != nullptr && control.value_type_name == kSettingsValueType) {
    AddEmbeddedSettings(control, *text, object, allocator);
    return;
  }
  object.AddMember(Text(control.name, allocator), ToJson(value, allocator), allocator);
}

rapidjson::Value WorkerValues(const SettingWorker& node, IDataProcess& worker,
                              Allocator& allocator) {
  rapidjson::Value values(rapidjson::kObjectType);
  const Property& properties = *worker.GetProperties();
  for (const auto& control : node.controls) {
    const auto value = properties.GetValue(control->name);
    if (!value) continue;
    values.AddMember(Text(control->name, allocator), ToJson(*value, allocator), allocator);
  }
  return values;
}

// Pretty prints the whole document onto `out`, or throws without writing anything.
void Print(const rapidjson::Document& document, std::ostream& out) {
  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  if (!document.Accept(writer)) json::ThrowJsonAssertion();
  out.write(buffer.GetString(), static_cast<std::streamsize>(buffer.GetSize()));
}

const ProjectConfiguration& Require(const std::shared_ptr<ProjectConfiguration>& configuration) {
  if (!configuration) throw std::invalid_argument("no project configuration");
  return *configuration;
}

}  // namespace

void WriteSettingNodeValuesAsJson(const std::shared_ptr<SettingNode>& node,
                                  rapidjson::Value& object, Allocator& allocator) {
  if (!node) return;
  for (const auto& control : node->controls) AddControlValue(*control, object, allocator);
  for (const auto& child : node->children) {
    rapidjson::Value values(rapidjson::kObjectType);
    WriteSettingNodeValuesAsJson(child, values, allocator);
    object.AddMember(ChildKey(child->name, allocator), values, allocator);
  }
}

void WriteWorkerSettingValuesAsJson(const std::shared_ptr<SettingWorker>& workers,
                                    rapidjson::Value& object, Allocator& allocator) {
  if (!workers) return;
  for (const auto& child : workers->children) {
    const auto node = std::dynamic_pointer_cast<SettingWorker>(child);
    if (!node || !node->worker) continue;
    const std::string system_name = node->worker->GetSystemName();
    if (system_name.empty()) continue;
    object.AddMember(Text(system_name, allocator), WorkerValues(*node, *node->worker, allocator),
                     allocator);
  }
}

bool WriteProjectConfigurationAsJson(const std::shared_ptr<ProjectConfiguration>& configuration,
                                     std::ostream& out) {
  const ProjectConfiguration& source = Require(configuration);
  rapidjson::Document document(rapidjson::kObjectType);
  Allocator& allocator = document.GetAllocator();
  {
    std::shared_lock lock(source.GetLock());
    document.AddMember("app", Text(kConfigurationApp, allocator), allocator);
    document.AddMember("id", Text(source.id, allocator), allocator);
    document.AddMember("chain_id", Text(source.chain_id, allocator), allocator);
    document.AddMember("caption", Text(source.caption, allocator), allocator);
    document.AddMember("description", Text(source.description, allocator), allocator);
    if (const auto workers = source.FindWorkerSetting()) {
      rapidjson::Value data(rapidjson::kObjectType);
      WriteWorkerSettingValuesAsJson(workers, data, allocator);
      document.AddMember("data", data, allocator);
    }
    if (const auto main = source.FindMainSetting()) {
      rapidjson::Value settings(rapidjson::kObjectType);
      WriteSettingNodeValuesAsJson(main, settings, allocator);
      document.AddMember("settings", settings, allocator);
    }
  }
  // Every text was copied into the document: the tree is not read any more.
  Print(document, out);
  return true;
}

bool WriteMainSettingValuesAsJson(const std::shared_ptr<ProjectConfiguration>& configuration,
                                  std::ostream& out) {
  const ProjectConfiguration& source = Require(configuration);
  rapidjson::Document document(rapidjson::kObjectType);
  {
    std::shared_lock lock(source.GetLock());
    WriteSettingNodeValuesAsJson(source.FindMainSetting(), document, document.GetAllocator());
  }
  Print(document, out);
  return true;
}

}  // namespace zelph
