// project_configuration_builder.cpp
//
// The settings tree of a loaded chain: the main-settings worker's model with the subtrees
// of its "settings" controls, and one node per named worker.
#include "zelph/config/rapidjson.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "settings_json.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/settings/project_configuration_reader.h"
#include "zelph/settings/setting_id.h"

namespace {

using Models = std::vector<std::shared_ptr<IDataProcessModel>>;

constexpr std::string_view kSettingsType = "settings";

bool IsSettingsControl(const zelph::BaseControl& control) {
  return control.GetValueTypeName() == kSettingsType;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The settings model a "settings" control names: by its settings id, else by role class
// name, else by the last segment of a dotted role class name.
std::shared_ptr<IDataProcessModel> FindSettingsModel(const zelph::BaseControl& control,
                                                     const Models& models) {
  const auto first = [&](auto&& matches) -> std::shared_ptr<IDataProcessModel> {
    for (const auto& model : models) {
      if (model && model->GetStructure().GetOptionalFlag(zelph::kSettingsRole) &&
          matches(model->GetStructure())) {
        return model;
      }
    }
    return nullptr;
  };
  const std::string settings_id = control.GetSettingsId();
  if (!settings_id.empty()) {
    if (auto model = first([&](const auto& s) { return s.GetUuid() == settings_id; })) {
      return model;
    }
  }
  const std::string key =
      control.GetValueClassName().empty() ? control.GetName() : control.GetValueClassName();
  if (auto model = first([&](const auto& s) { return s.GetRoleClassName() == key; })) {
    return model;
  }
  const std::string dotted_key = "." + key;
  return first([&](const auto& s) { return EndsWith(s.GetRoleClassName(), dotted_key); });
}

void BuildSettingsSubtree(IDataProcessModel& model, const Models& models, SettingNode& node,
                          const std::string& path, std::set<std::string>& path_models) {
  const zelph::BaseModelStructure& structure = model.GetStructure();
  for (const zelph::BaseControl& control : structure.GetControls()) {
    const std::string control_path = path + "/" + control.GetName();
    if (!IsSettingsControl(control)) {
      node.controls.push_back(
          std::make_shared<DataSettingControl>(control_path, control, control.GetDefault()));
      continue;
    }
    if (control.GetName() == kSettingsType) continue;
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Find control {}.{}",
              zelph::QuoteClientText(structure.GetCategory()),
              zelph::QuoteClientText(control.GetName()));
    // A model already on the path from the main-settings model down (it names itself or an
    // ancestor) would make the tree endless: it counts as not found.
    const auto settings_model = FindSettingsModel(control, models);
    if (!settings_model || path_models.count(settings_model->GetId()) != 0) {
      node.controls.push_back(
          std::make_shared<DataSettingControl>(control_path, control, control.GetDefault()));
      ZELPH_LOG(ZelphSeverityLevel::kWarning, "Dashboard session model not found: '{}'",
                zelph::QuoteClientText(control.GetName()));
      continue;
    }
    auto child = std::make_shared<MainSetting>(MakeSettingId(control_path), control.GetName(),
                                               control.GetDescription(), kMainSetting,
                                               model.GetId(), node.id);
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "create main settings sub tree. Setting path: {}, Id: {}",
              zelph::QuoteClientText(control_path), zelph::QuoteClientText(child->id));
    path_models.insert(settings_model->GetId());
    BuildSettingsSubtree(*settings_model, models, *child, control_path, path_models);
    path_models.erase(settings_model->GetId());
    node.children.push_back(std::move(child));
  }
}

// The main-settings worker's own properties are the defaults of the tree: plain controls
// take the property of their name, "settings" controls hold the JSON of their subtree.
void ApplyWorkerDefaults(IDataProcess& worker, const Models& models, MainSetting& main) {
  Property* properties = worker.GetProperties();
  for (const zelph::BaseControl& control : worker.GetStructure().GetControls()) {
    const std::string name = control.GetName();
    if (!IsSettingsControl(control)) {
      if (auto value = properties->GetValue(name)) {
        if (const auto target = main.FindControl(name)) {
          target->value = PropertyValue{true, std::move(*value)};
        }
      }
      continue;
    }
    const std::string text = worker.GetPropertyString(name, "{}");
    if (text.empty()) continue;
    rapidjson::Document document;
    const rapidjson::ParseResult result = zelph::settings::ParseSettingsText(text, document);
    if (result.IsError()) {
      ZELPH_LOG(ZelphSeverityLevel::kError,
                "Parse default setting value. Failed parse json. Error(offset: {}) error: {}",
                result.Offset(), static_cast<int>(result.Code()));
      continue;
    }
    std::shared_ptr<SettingNode> child;
    for (const auto& candidate : main.children) {
      if (candidate->kind == kMainSetting && candidate->name == name) {
        child = candidate;
        break;
      }
    }
    if (!child) continue;
    const bool known = std::any_of(models.begin(), models.end(), [&](const auto& model) {
      return model && model->GetId() == child->model_id;
    });
    if (known) {
      zelph::settings::ApplyDefaultValuesJson(document, *child);
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kWarning, "Default setting value not found: '{}'",
                zelph::QuoteClientText(name));
    }
  }
}

std::shared_ptr<MainSetting> BuildMainSetting(const std::shared_ptr<IDataProcess>& worker,
                                              const Models& models) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Found main settings worker: {}",
            zelph::QuoteClientText(worker->GetId()));
  const auto model = worker->GetModel();
  const zelph::BaseModelStructure& structure = model->GetStructure();
  auto main =
      std::make_shared<MainSetting>(worker->GetId(), structure.GetName(),
                                    structure.GetDescription(), kMainSetting, model->GetId(), "");
  std::set<std::string> path_models{model->GetId()};
  BuildSettingsSubtree(*model, models, *main, worker->GetId(), path_models);
  main->DebugPrint(0);
  ApplyWorkerDefaults(*worker, models, *main);
  zelph::settings::ApplySettingsText(worker->GetPropertyString("settings", ""), main);
  return main;
}

void AddWorkerSettings(IDataProcessChain& chain, SettingWorker& group) {
  for (const auto& worker : chain.GetWorkers()) {
    const std::string name = worker->GetSystemName();
    if (name.empty()) continue;
    const auto controls = worker->GetStructure().GetControls();
    if (controls.empty()) continue;
    auto node = std::make_shared<SettingWorker>(worker);
    Property* properties = worker->GetProperties();
    for (const zelph::BaseControl& control : controls) {
      auto stored = properties->GetValue(control.GetName());
      PropertyValue value = stored ? PropertyValue{true, std::move(*stored)} : control.GetDefault();
      node->controls.push_back(std::make_shared<DataSettingControl>(
          MakeSettingId(name + "/" + control.GetName()), control, std::move(value)));
    }
    group.children.push_back(std::move(node));
  }
}

}  // namespace

std::shared_ptr<ProjectConfiguration> BuildProjectConfiguration(
    std::shared_ptr<IDataProcessChain> chain, const Models& models) {
  auto root = std::make_shared<SettingRoot>();
  const auto main_worker = chain->FindMainSettingWorker();
  if (main_worker) root->children.push_back(BuildMainSetting(main_worker, models));
  auto group = std::make_shared<SettingWorker>();
  root->children.push_back(group);
  AddWorkerSettings(*chain, *group);
  return std::make_shared<ProjectConfiguration>(chain->GetId(),
                                                main_worker ? main_worker->GetId() : "",
                                                chain->GetName(), chain->GetDescription(), root);
}

std::shared_ptr<ProjectConfiguration> BuildProjectConfiguration(
    std::shared_ptr<IDataProcessChain> chain) {
  const Models models = SimplePluginsManager::GetInstance()->GetModels(chain->GetSessionId());
  return BuildProjectConfiguration(std::move(chain), models);
}
