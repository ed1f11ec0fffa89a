// described_model.cpp
#include "described_model.h"

#include <fmt/format.h>
#include <google/protobuf/text_format.h>

#include <list>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "quiet_worker.h"
#include "zelph/model/data_process_model_base.h"
#include "zelph/model/data_type.h"
#include "zelph/model/model_structure.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

std::shared_ptr<IDataProcess> MakeWorker(const boost::uuids::uuid& id) {
  return std::make_shared<QuietWorker>(id);
}

Port PortOf(const char* name, PortType type, const IDataType* data_type) {
  Port port;
  port.SetName(name);
  port.SetCaption(std::string(name) + " caption");
  port.SetHint(std::string(name) + " hint");
  port.SetType(type);
  port.SetDataType(data_type);
  return port;
}

BaseControl ControlOf(const char* name, ControlKind kind, const IDataType* type,
                      PropertyVariant value) {
  BaseControl control;
  control.SetName(name);
  control.SetCaption(std::string(name) + " caption");
  control.SetEditionKind(kind);
  control.SetValueType(type);
  control.SetValueTypeName(type->GetName());
  control.SetDefault(PropertyValue{false, std::move(value)});
  return control;
}

}  // namespace

std::shared_ptr<IDataProcessModel> MakeDescribedModel() {
  BaseModelStructure structure;
  structure.SetUuid(kDescribedModelId);
  structure.SetName(kDescribedModelName);
  structure.SetCaption("Described caption");
  structure.SetDescription("every field set");
  structure.SetCategory("service tests");
  structure.SetVersion("1.2");
  structure.SetAuthors("the service team");
  structure.SetLanguage("java");
  structure.SetRoleClassName("DescribedRole");
  structure.SetJavaClass("net.example.Described");
  structure.SetExecutionStage(ExecutionStage::kRunTime);
  structure.SetJsonStructure(R"({"uuid":"de5c0000-0000-4000-8000-000000000001"})");
  structure.AddTag("zeta");
  structure.AddTag("alpha");
  structure.SetOptionalFlag(kInputModel | kOutputModel | kRelativePathModel | kDataModel |
                                kMainRole | kSettingsRole | kCopyModel,
                            true);

  std::list<Port> ports;
  ports.push_back(PortOf("image", PortType::input, DataTypeMat::GetInstance()));
  ports.push_back(PortOf("result", PortType::output, DataTypeMat::GetInstance()));
  ports.push_back(PortOf("limit", PortType::input_control, DataTypeDouble::GetInstance()));
  ports.push_back(PortOf("count", PortType::output_control, DataTypeInt32::GetInstance()));
  ports.push_back(PortOf("spare", PortType::unknown, DataTypeScalar::GetInstance()));
  structure.SetPorts(std::move(ports));

  BaseControl mode =
      ControlOf("mode", ControlKind::kEnum, DataTypeStr::GetInstance(), std::string("fast"));
  mode.AddValue(BaseEnumValue("fast", "Fast"));
  mode.AddValue(BaseEnumValue("slow", "Slow"));
  structure.AddControl(std::move(mode));
  BaseControl gain = ControlOf("gain", ControlKind::kRange, DataTypeDouble::GetInstance(), 2.5);
  gain.SetHint("gain hint");
  gain.SetDescription("gain description");
  gain.SetEditionRows(3);
  gain.SetMultiline(true);
  gain.SetIsAdvanced(true);
  gain.SetIsResource(true);
  structure.AddControl(std::move(gain));
  structure.AddControl(ControlOf("hidden", ControlKind::kUnknown, DataTypeInt32::GetInstance(), 1));
  structure.AddControl(
      ControlOf("enabled", ControlKind::kValue, DataTypeBool::GetInstance(), true));
  BaseControl untyped = ControlOf("untyped", ControlKind::kValue, DataTypeInt32::GetInstance(), 1);
  untyped.SetValueTypeName("");
  structure.AddControl(std::move(untyped));
  structure.AddControl(
      ControlOf("notes", ControlKind::kText, DataTypeStr::GetInstance(), std::string()));
  structure.AddControl(
      ControlOf("source", ControlKind::kFile, DataTypeStr::GetInstance(), std::string("a.png")));
  structure.AddControl(ControlOf("target", ControlKind::kFileToSave, DataTypeStr::GetInstance(),
                                 std::string("b.png")));
  structure.AddControl(
      ControlOf("folder", ControlKind::kFolder, DataTypeStr::GetInstance(), std::string("/tmp")));
  structure.AddControl(
      ControlOf("tint", ControlKind::kColor, DataTypeInt64::GetInstance(), 16711680LL));

  auto model = DataProcessModelBase::Create(&MakeWorker);
  model->SetStructure(std::move(structure));
  return model;
}

void RegisterDescribedModel() {
  static std::once_flag once;
  std::call_once(once,
                 [] { SimplePluginsManager::GetInstance()->AddModel(MakeDescribedModel(), ""); });
}

std::string DescribedChainJson() {
  return fmt::format(R"({{"app": "zelph-project", "version": "1.1", "zelph_chain": {{
    "executor": {{"uuid": "de5c0000-0000-4000-8000-000000000002", "name": "Described"}},
    "blocks": [{{"uuid": "{}", "executor_id": "{}", "executor_name": "{}",
                 "system": {{"name": "described"}}}}],
    "links": []}}}})",
                     kDescribedWorkerId, kDescribedModelId, kDescribedModelName);
}

GModel DescribedGModel() {
  GModel model;
  const bool parsed = google::protobuf::TextFormat::ParseFromString(
      R"pb(
        id: "de5c0000-0000-4000-8000-000000000001"
        name: "Described"
        caption: "Described caption"
        description: "every field set"
        category: "service tests"
        version: "1.2"
        authors: "the service team"
        language: "java"
        role_name: "DescribedRole"
        execution_stage: kRunTime
        language_details: "net.example.Described"
        tags: [ "alpha", "zeta" ]
        optional: [ 8, 1, 2, 64, 128 ]
        ports {
          name: "image"
          caption: "image caption"
          hint: "image hint"
          data_type: "mat"
          port_kind: kPortInput
        }
        ports {
          name: "result"
          caption: "result caption"
          hint: "result hint"
          data_type: "mat"
          port_kind: kPortOutput
        }
        ports {
          name: "limit"
          caption: "limit caption"
          hint: "limit hint"
          data_type: "double"
          port_kind: kPortInputControl
        }
        ports {
          name: "count"
          caption: "count caption"
          hint: "count hint"
          data_type: "int"
          port_kind: kPortOutputControl
        }
        ports {
          name: "spare"
          caption: "spare caption"
          hint: "spare hint"
          data_type: "scalar"
          port_kind: kPortUnknown
        }
        controls {
          name: "mode"
          edition_type: "enum"
          value_type: "String"
          caption: "mode caption"
          def: "fast"
          edition_rows: -1
          items { caption: "Fast" value: "fast" }
          items { caption: "Slow" value: "slow" }
        }
        controls {
          name: "gain"
          edition_type: "range"
          value_type: "double"
          caption: "gain caption"
          hint: "gain hint"
          description: "gain description"
          def: "2.500000"
          edition_rows: 3
          multiline: true
          is_advanced: true
          is_resource: true
        }
        controls {
          name: "enabled"
          edition_type: "value"
          value_type: "boolean"
          caption: "enabled caption"
          def: "1"
          edition_rows: -1
        }
        controls {
          name: "notes"
          edition_type: "text"
          value_type: "String"
          caption: "notes caption"
          def: ""
          edition_rows: -1
        }
        controls {
          name: "source"
          edition_type: "file"
          value_type: "String"
          caption: "source caption"
          def: "a.png"
          edition_rows: -1
        }
        controls {
          name: "target"
          edition_type: "file_to_save"
          value_type: "String"
          caption: "target caption"
          def: "b.png"
          edition_rows: -1
        }
        controls {
          name: "folder"
          edition_type: "folder"
          value_type: "String"
          caption: "folder caption"
          def: "/tmp"
          edition_rows: -1
        }
        controls {
          name: "tint"
          edition_type: "color"
          value_type: "long"
          caption: "tint caption"
          def: "16711680"
          edition_rows: -1
        }
        tmp_json: "{\"uuid\":\"de5c0000-0000-4000-8000-000000000001\"}"
      )pb",
      &model);
  if (!parsed) throw std::logic_error("DescribedGModel does not parse");
  return model;
}

}  // namespace zelph::testing
