// chain_settings_writer.cpp
//
// The chain settings document in its chain form and its configuration form.
#include "zelph/config/rapidjson.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cmath>
#include <set>
#include <string_view>
#include <vector>

#include "zelph/logger/log.h"
#include "zelph/settings/chain_settings_writer.h"

namespace zelph {
namespace {

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

constexpr std::string_view kSettingsApp = "zelph-chain-settings";
constexpr std::string_view kSettingsType = "settings";

void WriteString(Writer& writer, std::string_view text) {
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void WriteKey(Writer& writer, std::string_view key) {
  writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
}

void WriteValue(Writer& writer, const PropertyVariant& value) {
  switch (value.index()) {
    case 0: writer.Int(std::get<int>(value)); break;
    case 1: writer.Int64(std::get<long long>(value)); break;
    case 2: {
      const double number = std::get<double>(value);
      if (std::isfinite(number)) {
        writer.Double(number);
      } else {
        writer.Null();
      }
      break;
    }
    case 3: WriteString(writer, std::get<std::string>(value)); break;
    default: writer.Bool(std::get<bool>(value)); break;
  }
}

void WriteItems(Writer& writer, const std::vector<BaseEnumValue>& items) {
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

void WriteModelControl(Writer& writer, const BaseControl& control) {
  const std::string edition_type = ControlKindToString(control.GetEditionKind());
  writer.StartObject();
  WriteKey(writer, "caption");
  WriteString(writer, control.GetCaption());
  WriteKey(writer, "name");
  WriteString(writer, control.GetName());
  WriteKey(writer, "description");
  WriteString(writer, control.GetDescription());
  WriteKey(writer, "value_type");
  WriteString(writer, control.GetValueTypeName());
  WriteKey(writer, "value_class_name");
  WriteString(writer, control.GetValueClassName());
  WriteKey(writer, "edition_type");
  WriteString(writer, edition_type);
  WriteKey(writer, "default");
  WriteValue(writer, control.GetDefault().value);
  if (edition_type == "enum") WriteItems(writer, control.GetValues());
  writer.EndObject();
}

bool HasMatOutput(const BaseModelStructure& structure) {
  for (const Port* port : structure.GetPorts()) {
    if (port && port->GetType() == PortType::output && port->GetDataType() &&
        DataTypeMat::Equals(port->GetDataType())) {
      return true;
    }
  }
  return false;
}

// The worker's visible-results description as a JSON object, or nothing when the text is
// not a JSON object (the text comes from plug-in models and is not trusted).
void WriteVisibleResults(Writer& writer, IDataProcess& worker) {
  const std::string text = worker.GetVisibleResultsInformation();
  std::string_view body(text);
  for (const char bom : {'\xEF', '\xBB', '\xBF'}) {
    if (!body.empty() && body.front() == bom) body.remove_prefix(1);
  }
  rapidjson::Document document;
  if (json::ParseJsonText(body.data(), body.size(), document).IsError() || !document.IsObject()) {
    return;
  }
  const auto model = document.FindMember("model");
  if (model != document.MemberEnd() && model->value.IsString() &&
      std::string_view(model->value.GetString(), model->value.GetStringLength()) == "default" &&
      HasMatOutput(worker.GetStructure())) {
    model->value.SetString("Image", document.GetAllocator());
  }
  WriteKey(writer, "visible_result_meta_information");
  document.Accept(writer);
}

// Writes the worker's members without closing its object, so the settings tree can add
// "child".
void WriteWorkerMembers(Writer& writer, IDataProcess& worker) {
  const BaseModelStructure& structure = worker.GetStructure();
  const std::string model_name = structure.GetName();
  WriteKey(writer, "id");
  WriteString(writer, worker.GetId());
  WriteKey(writer, "executor_id");
  WriteString(writer, structure.GetUuid());
  WriteKey(writer, "name");
  WriteString(writer, model_name);
  WriteKey(writer, "system_name");
  WriteString(writer, worker.GetSystemName());
  WriteKey(writer, "controls");
  writer.StartArray();
  for (const BaseControl& control : structure.GetControls()) WriteModelControl(writer, control);
  writer.EndArray();
  WriteKey(writer, "rel_url");
  WriteString(writer, fmt::format("worker:{}/property:{}", worker.GetId(), model_name));
  WriteVisibleResults(writer, worker);
}

void WriteWorkerList(Writer& writer, std::string_view key,
                     const std::vector<std::shared_ptr<IDataProcess>>& workers, OptionalFlag flag) {
  WriteKey(writer, key);
  writer.StartArray();
  for (const auto& worker : workers) {
    if (!worker->GetStructure().GetOptionalFlag(flag)) continue;
    writer.StartObject();
    WriteWorkerMembers(writer, *worker);
    writer.EndObject();
  }
  writer.EndArray();
}

class SettingsTreeWriter {
 public:
  SettingsTreeWriter(Writer& writer, IDataProcessChain& chain)
      : writer_(writer), links_(chain.GetLinks()) {}

  // The worker with "child": the settings workers linked into the ports of its "settings"
  // controls. A worker already on the path is cut with a warning: links that form a cycle
  // would otherwise nest without end.
  void WriteWorker(const std::shared_ptr<IDataProcess>& worker) {
    path_.insert(worker.get());
    writer_.StartObject();
    WriteWorkerMembers(writer_, *worker);
    WriteKey(writer_, "child");
    writer_.StartArray();
    for (const BaseControl& control : worker->GetStructure().GetControls()) {
      if (control.GetValueTypeName() != kSettingsType) continue;
      const Port* port = FindSettingsPort(*worker, control.GetName());
      if (port == nullptr) continue;
      for (const Link* link : links_) {
        const auto source = link->GetSrcWorker();
        if (!source || link->GetDestPort() == nullptr || link->GetDestPort()->GetId() != port->GetId()) {
          continue;
        }
        if (path_.count(source.get()) != 0) {
          ZELPH_LOG(ZelphSeverityLevel::kWarning,
                    "Settings link cycle cut at worker: '{}'", source->GetId());
          continue;
        }
        WriteWorker(source);
      }
    }
    writer_.EndArray();
    writer_.EndObject();
    path_.erase(worker.get());
  }

 private:
  static const Port* FindSettingsPort(IDataProcess& worker, const std::string& name) {
    if (const Port* port = worker.FindPortByName(PortType::input, name, true)) return port;
    return worker.FindPortByName(PortType::input_control, name, true);
  }

  Writer& writer_;
  std::vector<Link*> links_;
  std::set<const IDataProcess*> path_;
};

void WriteSettingControl(Writer& writer, const DataSettingControl& control) {
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
              control.name);
    WriteString(writer, "");
  }
  WriteKey(writer, "edition_type");
  WriteString(writer, control.edition_type);
  WriteKey(writer, "value");
  WriteValue(writer, control.value.value);
  if (control.edition_type == "enum") WriteItems(writer, control.items);
  writer.EndObject();
}

void WriteNode(Writer& writer, const SettingNode& node) {
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

// Logs why `parser` cannot write the document; true when it can.
bool CanWrite(JsonParser parser) {
  if (parser == JsonParser::kRapidJson) return true;
  if (parser == JsonParser::kMiniJson) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported chain settings writer");
  }
  return false;
}

}  // namespace

std::string WriteChainSettingsAsJson(JsonParser parser, std::shared_ptr<IDataProcessChain> chain) {
  if (!CanWrite(parser)) return "";
  const auto workers = chain->GetWorkers();
  rapidjson::StringBuffer buffer;
  Writer writer(buffer);
  writer.StartObject();
  WriteKey(writer, "app");
  WriteString(writer, kSettingsApp);
  WriteWorkerList(writer, "inputs", workers, kInputModel);
  WriteWorkerList(writer, "outputs", workers, kOutputModel);
  WriteWorkerList(writer, "data", workers, kDataModel);
  WriteKey(writer, "settings");
  if (const auto main = chain->FindMainSettingWorker()) {
    SettingsTreeWriter(writer, *chain).WriteWorker(main);
  } else {
    writer.StartObject();
    writer.EndObject();
  }
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string WriteChainSettingsAsJson(JsonParser parser, const ProjectConfiguration& configuration) {
  if (!CanWrite(parser)) return "";
  rapidjson::StringBuffer buffer;
  Writer writer(buffer);
  writer.StartObject();
  WriteKey(writer, "app");
  WriteString(writer, kSettingsApp);
  WriteKey(writer, "worker_id");
  WriteString(writer, configuration.main_worker_id);
  WriteKey(writer, "settings");
  WriteNode(writer, *configuration.root);
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace zelph
