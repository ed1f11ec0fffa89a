// chain_settings_writer.cpp
//
// The chain settings document of a live chain: its input, output and data workers, and
// the tree of settings workers linked into its main-settings worker.
#include "chain_settings_document.h"

#include <set>
#include <string_view>
#include <vector>

#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/settings/chain_settings_writer.h"

namespace zelph {
namespace {

using settings::DocumentWriter;
using settings::WriteItems;
using settings::WriteKey;
using settings::WriteString;
using settings::WriteValue;

constexpr std::string_view kSettingsType = "settings";

void WriteModelControl(DocumentWriter& writer, const BaseControl& control) {
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
void WriteVisibleResults(DocumentWriter& writer, IDataProcess& worker) {
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
void WriteWorkerMembers(DocumentWriter& writer, IDataProcess& worker) {
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

void WriteWorkerList(DocumentWriter& writer, std::string_view key,
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
  SettingsTreeWriter(DocumentWriter& writer, IDataProcessChain& chain)
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
        if (!source || link->GetDestPort() == nullptr ||
            link->GetDestPort()->GetId() != port->GetId()) {
          continue;
        }
        if (path_.count(source.get()) != 0) {
          ZELPH_LOG(ZelphSeverityLevel::kWarning, "Settings link cycle cut at worker: '{}'",
                    QuoteClientText(source->GetId()));
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

  DocumentWriter& writer_;
  std::vector<Link*> links_;
  std::set<const IDataProcess*> path_;
};

}  // namespace

std::string WriteChainSettingsAsJson(JsonParser parser, std::shared_ptr<IDataProcessChain> chain) {
  if (!settings::CanWriteChainSettings(parser)) return "";
  const auto workers = chain->GetWorkers();
  rapidjson::StringBuffer buffer;
  DocumentWriter writer(buffer);
  writer.StartObject();
  WriteKey(writer, "app");
  WriteString(writer, settings::kChainSettingsApp);
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

}  // namespace zelph
