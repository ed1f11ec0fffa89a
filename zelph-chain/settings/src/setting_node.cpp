// setting_node.cpp
//
// Settings-tree nodes and their controls.
#include "zelph/settings/setting_node.h"

#include <fmt/format.h>

#include <utility>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model.h"

DataSettingControl::DataSettingControl(const std::string& id, const zelph::BaseControl& control,
                                       PropertyValue value)
    : id(id),
      name(control.GetName()),
      multiline(control.IsMultiline()),
      edition_rows(control.GetEditionRows()),
      value(std::move(value)),
      value_type(control.GetValueType()),
      value_type_name(control.GetValueTypeName()),
      caption(control.GetCaption()),
      hint(control.GetHint()),
      description(control.GetDescription()),
      items(control.GetValues()),
      edition_type(zelph::ControlKindToString(control.GetEditionKind())),
      is_resource(control.IsResource()) {}

std::string DataSettingControl::ToString() const {
  return fmt::format("{} [{}]", zelph::QuoteClientText(name), zelph::QuoteClientText(id));
}

SettingNode::SettingNode(const std::string& id, const std::string& name,
                         const std::string& description, SettingKind kind,
                         const std::string& model_id, const std::string& parent_id)
    : id(id),
      name(name),
      description(description),
      model_id(model_id),
      parent_id(parent_id),
      kind(kind) {}

SettingNode::~SettingNode() {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "~SettingNode id: {}, name:{} ", zelph::QuoteClientText(id),
            zelph::QuoteClientText(name));
  children.clear();
  controls.clear();
}

bool SettingNode::HasProperty(const std::string& control_name) {
  return FindControl(control_name) != nullptr;
}

bool SettingNode::SetValue(const std::string& control_name, PropertyValue&& value) {
  const auto control = FindControl(control_name);
  if (!control) return false;
  control->value = std::move(value);
  return true;
}

boost::optional<PropertyValue> SettingNode::GetValue(const std::string& control_name) {
  const auto control = FindControl(control_name);
  if (!control) return boost::none;
  return control->value;
}

std::shared_ptr<SettingNode> SettingNode::FindChildByName(const std::string& child_name) {
  for (const auto& child : children) {
    if (child->name == child_name) return child;
  }
  return nullptr;
}

std::shared_ptr<DataSettingControl> SettingNode::FindControl(const std::string& control_name) {
  for (const auto& control : controls) {
    if (control->name == control_name) return control;
  }
  return nullptr;
}

void SettingNode::DebugPrint(int indent) {
  if (!CheckSeverity(ZelphSeverityLevel::kDebug)) return;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "{:{}}{} [{}]", "", indent, zelph::QuoteClientText(name),
            zelph::QuoteClientText(id));
  for (const auto& control : controls) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "{:{}}- {}", "", indent + 4, control->ToString());
  }
  for (const auto& child : children) {
    child->DebugPrint(indent + 4);
  }
}

SettingRoot::SettingRoot() : SettingNode("", "", "", kSettingRoot, "", "") {}

MainSetting::MainSetting(const std::string& id, const std::string& name,
                         const std::string& description, SettingKind kind,
                         const std::string& model_id, const std::string& parent_id)
    : SettingNode(id, name, description, kind, model_id, parent_id) {}

SettingWorker::SettingWorker() : SettingNode("", "", "", kSettingWorker, "", "") {}

SettingWorker::SettingWorker(std::shared_ptr<IDataProcess> worker)
    : SettingNode(worker->GetId(), worker->GetSystemName(), worker->GetStructure().GetDescription(),
                  kSettingWorker, worker->GetModel()->GetId(), ""),
      worker(std::move(worker)) {}

SettingWorker::SettingWorker(SettingWorker&& other)
    : SettingNode(other), worker(std::move(other.worker)) {}

SettingWorker& SettingWorker::operator=(SettingWorker&& other) {
  SettingNode::operator=(other);
  worker = std::move(other.worker);
  return *this;
}
