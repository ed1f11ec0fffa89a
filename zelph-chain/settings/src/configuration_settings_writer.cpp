// configuration_settings_writer.cpp
//
// The chain settings document of a project configuration: its settings tree with the
// current value of every control.
#include "chain_settings_document.h"

#include <shared_mutex>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/settings/chain_settings_writer.h"

namespace zelph {
namespace {

using settings::DocumentWriter;
using settings::WriteItems;
using settings::WriteKey;
using settings::WriteString;
using settings::WriteValue;

void WriteSettingControl(DocumentWriter& writer, const DataSettingControl& control) {
  writer.StartObject();
  WriteKey(writer, "caption");
  WriteString(writer, control.caption);
  WriteKey(writer, "name");
  WriteString(writer, control.name);
  WriteKey(writer, "description");
  WriteString(writer, control.description);
  WriteKey(writer, "value_type");
  if (control.value_type != nullptr) {
    WriteString(writer, control.value_type->GetName());
  } else {
    ZELPH_LOG(ZelphSeverityLevel::kWarning, "Setting control without data type: '{}'",
              QuoteClientText(control.name));
    WriteString(writer, "");
  }
  WriteKey(writer, "edition_type");
  WriteString(writer, control.edition_type);
  WriteKey(writer, "value");
  WriteValue(writer, control.value.value);
  if (control.edition_type == "enum") WriteItems(writer, control.items);
  writer.EndObject();
}

void WriteNode(DocumentWriter& writer, const SettingNode& node) {
  writer.StartObject();
  WriteKey(writer, "name");
  WriteString(writer, node.name);
  WriteKey(writer, "model_id");
  WriteString(writer, node.model_id);
  WriteKey(writer, "controls");
  writer.StartArray();
  for (const auto& control : node.controls) WriteSettingControl(writer, *control);
  writer.EndArray();
  WriteKey(writer, "child");
  writer.StartArray();
  for (const auto& child : node.children) WriteNode(writer, *child);
  writer.EndArray();
  writer.EndObject();
}

}  // namespace

std::string WriteChainSettingsAsJson(JsonParser parser, const ProjectConfiguration& configuration) {
  if (!settings::CanWriteChainSettings(parser)) return "";
  rapidjson::StringBuffer buffer;
  DocumentWriter writer(buffer);
  std::shared_lock lock(configuration.GetLock());
  writer.StartObject();
  WriteKey(writer, "app");
  WriteString(writer, settings::kChainSettingsApp);
  WriteKey(writer, "worker_id");
  WriteString(writer, configuration.main_worker_id);
  WriteKey(writer, "settings");
  WriteNode(writer, *configuration.root);
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace zelph
