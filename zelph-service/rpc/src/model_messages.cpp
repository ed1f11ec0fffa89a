// model_messages.cpp
//
// GModel, GControl and GPort from a model's description.
#include "zelph/rpc/model_messages.h"

#include <string>
#include <vector>

#include "zelph/logger/log.h"
#include "zelph/model/base_control.h"
#include "zelph/model/data_process_model.h"
#include "zelph/model/model_structure.h"
#include "zelph/model/port.h"
#include "zelph/rpc/handler_text.h"

namespace {

// The option bits clients are told about, in the order they are listed.
constexpr zelph::OptionalFlag kPublishedFlags[] = {zelph::kDataModel, zelph::kInputModel,
                                                   zelph::kOutputModel, zelph::kMainRole,
                                                   zelph::kSettingsRole};

zelph::GExecutionStage StageOf(zelph::ExecutionStage stage) {
  switch (stage) {
    case zelph::ExecutionStage::kLoadingTime:
      return zelph::kLoadingTime;
    case zelph::ExecutionStage::kRunTime:
      return zelph::kRunTime;
    default:
      return zelph::kExecutionStageUnknown;
  }
}

zelph::PortKind PortKindOf(zelph::PortType type) {
  switch (type) {
    case zelph::PortType::input:
      return zelph::kPortInput;
    case zelph::PortType::output:
      return zelph::kPortOutput;
    case zelph::PortType::input_control:
      return zelph::kPortInputControl;
    case zelph::PortType::output_control:
      return zelph::kPortOutputControl;
    default:
      ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported port kind");
      return zelph::kPortUnknown;
  }
}

void FillControl(const zelph::BaseControl& control, const std::string& edition_type,
                 const std::string& value_type, zelph::GControl& message) {
  message.set_name(control.GetName());
  message.set_edition_type(edition_type);
  message.set_hint(control.GetHint());
  message.set_value_type(value_type);
  message.set_caption(control.GetCaption());
  message.set_description(control.GetDescription());
  message.set_def(PropertyValueToText(control.GetDefault().value));
  message.set_is_resource(control.IsResource());
  message.set_is_advanced(control.IsAdvanced());
  message.set_edition_rows(control.GetEditionRows());
  message.set_multiline(control.IsMultiline());
  for (const zelph::BaseEnumValue& item : control.GetValues()) {
    zelph::GItem* added = message.add_items();
    added->set_caption(item.caption);
    added->set_value(item.value);
  }
}

}  // namespace

void ModelToGModel(IDataProcessModel& model, zelph::GModel& message) {
  const zelph::BaseModelStructure& structure = model.GetStructure();
  message.set_id(structure.GetUuid());
  message.set_name(structure.GetName());
  message.set_caption(structure.GetCaption());
  message.set_description(structure.GetDescription());
  message.set_category(structure.GetCategory());
  message.set_version(structure.GetVersion());
  message.set_authors(structure.GetAuthors());
  message.set_language(structure.GetLanguage());
  message.set_role_name(structure.GetRoleClassName());
  message.set_execution_stage(StageOf(structure.GetExecutionStage()));
  message.set_language_details(structure.GetJavaClass());
  for (const std::string& tag : structure.GetTags()) message.add_tags(tag);
  for (const zelph::OptionalFlag flag : kPublishedFlags) {
    if (structure.GetOptionalFlag(flag)) message.add_optional(static_cast<int>(flag));
  }
  for (const zelph::Port* port : structure.GetPorts()) PortToGPort(*port, *message.add_ports());
  for (const zelph::BaseControl& control : structure.GetControls()) {
    const std::string edition_type = ControlKindToString(control.GetEditionKind());
    if (edition_type == "unknown") {
      ZELPH_LOG(ZelphSeverityLevel::kWarning,
                "Unknown control edition type. Model: '{} ({})', control: '{}'. Control skipped",
                model.GetId(), structure.GetName(), control.GetName());
      continue;
    }
    const std::string value_type = control.GetValueTypeName();
    if (value_type.empty()) {
      ZELPH_LOG(ZelphSeverityLevel::kWarning,
                "Empty value type. Model: '{}', control: '{}'. Control skipped", model.GetId(),
                control.GetName());
      continue;
    }
    FillControl(control, edition_type, value_type, *message.add_controls());
  }
  message.set_tmp_json(structure.GetStructureAsJson());
}

void PortToGPort(const zelph::Port& port, zelph::GPort& message) {
  message.set_id(port.GetId());
  message.set_caption(port.GetCaption());
  message.set_hint(port.GetHint());
  message.set_name(port.GetName());
  if (const IDataType* type = port.GetDataType()) message.set_data_type(type->GetName());
  message.set_port_kind(PortKindOf(port.GetType()));
}
