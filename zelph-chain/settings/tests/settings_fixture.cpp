// settings_fixture.cpp
//
// The golden models and their settings tree.
#include "settings_fixture.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "zelph/settings/setting_id.h"

namespace zelph::testing {
namespace {

BaseControl MakeControl(const std::string& name, const IDataType* type, PropertyVariant value,
                        ControlKind kind = ControlKind::kValue) {
  BaseControl control;
  control.SetName(name);
  control.SetCaption("Caption of " + name);
  control.SetDescription("Description of " + name);
  control.SetValueType(type);
  control.SetValueTypeName(type->GetName());
  control.SetDefault(PropertyValue{false, std::move(value)});
  control.SetEditionKind(kind);
  return control;
}

BaseModelStructure MakeStructure(const std::string& name, const std::string& uuid) {
  BaseModelStructure structure;
  structure.SetName(name);
  structure.SetUuid(uuid);
  structure.SetCategory("test");
  structure.SetDescription("The " + name + " model");
  return structure;
}

// Controls as the tree builder copies them, ids by `path`.
void AddControls(SettingNode& node, const BaseModelStructure& structure, const std::string& path,
                 bool settings_by_hash = false) {
  for (const BaseControl& control : structure.GetControls()) {
    const std::string control_path = path + "/" + control.GetName();
    node.controls.push_back(std::make_shared<DataSettingControl>(
        settings_by_hash ? MakeSettingId(control_path) : control_path, control,
        control.GetDefault()));
  }
}

std::shared_ptr<SettingWorker> WorkerNode(const std::string& id, const std::string& name,
                                          const BaseModelStructure& structure) {
  auto node = std::make_shared<SettingWorker>();
  node->id = id;
  node->name = name;
  node->description = structure.GetDescription();
  node->model_id = structure.GetUuid();
  AddControls(*node, structure, name, true);
  return node;
}

}  // namespace

BaseModelStructure DashboardStructure(const std::string& context_id) {
  BaseModelStructure structure = MakeStructure("Dashboard", kDashboardUuid);
  structure.SetOptionalFlag(kMainRole | kSettingsRole, true);
  structure.SetOwnerContextId(context_id);
  structure.AddControl(MakeControl("threshold", DataTypeInt32::GetInstance(), 5));
  structure.AddControl(MakeControl("enabled", DataTypeBool::GetInstance(), true));
  BaseControl mode =
      MakeControl("mode", DataTypeStr::GetInstance(), std::string("fast"), ControlKind::kEnum);
  mode.AddValue(BaseEnumValue("fast", "Fast"));
  mode.AddValue(BaseEnumValue("slow", "Slow"));
  structure.AddControl(mode);
  BaseControl camera = MakeControl("camera", DataTypeScalar::GetInstance(), std::string("{}"),
                                   ControlKind::kUnknown);
  camera.SetValueTypeName("settings");
  camera.SetValueClassName("CameraSettings");
  structure.AddControl(camera);
  structure.AddControl(MakeControl("_cs___hidden", DataTypeStr::GetInstance(), std::string("x")));
  return structure;
}

BaseModelStructure CameraStructure() {
  BaseModelStructure structure = MakeStructure("CameraSettings", kCameraUuid);
  structure.SetOptionalFlag(kSettingsRole, true);
  structure.SetRoleClassName("com.example.CameraSettings");
  structure.AddControl(MakeControl("exposure", DataTypeDouble::GetInstance(), 0.5));
  structure.AddControl(MakeControl("gain", DataTypeInt64::GetInstance(), 2LL));
  return structure;
}

BaseModelStructure BlurStructure() {
  BaseModelStructure structure = MakeStructure("Blur", kBlurUuid);
  structure.SetOptionalFlag(kDataModel, true);
  structure.AddControl(MakeControl("radius", DataTypeInt32::GetInstance(), 3));
  structure.AddControl(MakeControl("sigma", DataTypeFloat::GetInstance(), 1.5));
  return structure;
}

std::shared_ptr<ProjectConfiguration> MakeGoldenConfiguration() {
  const BaseModelStructure dashboard = DashboardStructure();
  const BaseModelStructure camera = CameraStructure();
  const BaseModelStructure blur = BlurStructure();

  auto main =
      std::make_shared<MainSetting>(kDashboardWorkerId, dashboard.GetName(),
                                    dashboard.GetDescription(), kMainSetting, kDashboardUuid, "");
  for (const BaseControl& control : dashboard.GetControls()) {
    if (control.GetValueTypeName() == "settings") continue;
    main->controls.push_back(std::make_shared<DataSettingControl>(
        std::string(kDashboardWorkerId) + "/" + control.GetName(), control, control.GetDefault()));
  }
  const std::string camera_path = std::string(kDashboardWorkerId) + "/camera";
  auto camera_node =
      std::make_shared<MainSetting>(MakeSettingId(camera_path), "camera", "Description of camera",
                                    kMainSetting, kDashboardUuid, main->id);
  AddControls(*camera_node, camera, camera_path);
  main->children.push_back(camera_node);

  auto group = std::make_shared<SettingWorker>();
  group->children.push_back(WorkerNode(kDashboardWorkerId, "dashboard", dashboard));
  group->children.push_back(WorkerNode(kCameraWorkerId, "camera", camera));
  group->children.push_back(WorkerNode(kBlurWorkerId, "blur", blur));

  auto root = std::make_shared<SettingRoot>();
  root->children.push_back(main);
  root->children.push_back(group);
  return std::make_shared<ProjectConfiguration>(kChainId, kDashboardWorkerId, "Golden chain",
                                                "Chain of the settings fixtures", root);
}

std::string ReadGolden(const std::string& name) {
  std::ifstream file(std::string(ZELPH_SETTINGS_GOLDEN_DIR) + "/" + name, std::ios::binary);
  if (!file) throw std::runtime_error("missing golden file " + name);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace zelph::testing
