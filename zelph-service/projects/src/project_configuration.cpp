// project_configuration.cpp
//
// A project's configuration: documents taken in and written out, and the two directions in
// which the settings tree and the main-settings worker's "settings" property follow each
// other.
#include <fmt/format.h>

#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <stdexcept>

#include "zelph/chains/data_process_chain.h"
#include "zelph/config/text_file.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/data_process.h"
#include "zelph/projects/configuration_documents.h"
#include "zelph/projects/project.h"
#include "zelph/projects/worker_property_text.h"
#include "zelph/settings/project_configuration_reader.h"

namespace zelph {
namespace {

constexpr char kSettingsProperty[] = "settings";

// A node of the same class with its own copies of the controls and of the subtree; the
// caller holds the tree's lock.
std::shared_ptr<SettingNode> CopySubtree(const SettingNode& node) {
  std::shared_ptr<SettingNode> copy;
  if (const auto* worker = dynamic_cast<const SettingWorker*>(&node)) {
    copy = std::make_shared<SettingWorker>(*worker);
  } else if (const auto* main = dynamic_cast<const MainSetting*>(&node)) {
    copy = std::make_shared<MainSetting>(*main);
  } else if (const auto* root = dynamic_cast<const SettingRoot*>(&node)) {
    copy = std::make_shared<SettingRoot>(*root);
  } else {
    copy = std::make_shared<SettingNode>(node);
  }
  for (auto& control : copy->controls) control = std::make_shared<DataSettingControl>(*control);
  for (auto& child : copy->children) child = CopySubtree(*child);
  return copy;
}

}  // namespace

void Project::UploadConfiguration(const std::string& json) {
  ProjectStateGuard state(state_, ProjectState::kExecuting);
  if (!state.Entered()) throw EvaluateCancelled("Chain not ready to upload configuration");
  std::unique_lock lock(lock_);
  UploadConfigurationUnlocked(json);
}

void Project::UploadConfigurationUnlocked(const std::string& json) {
  if (!configuration_) throw std::runtime_error("Current configuration is empty");
  // Found first: a document is read into the tree (whose worker settings reach the workers)
  // only when its values can then be applied.
  const std::shared_ptr<IDataProcess> worker = MainSettingWorkerUnlocked();
  if (!ParseProjectConfigurationActualValues(json, JsonParser::kRapidJson, configuration_)) {
    throw std::runtime_error("Failed parse project configuration");
  }
  WriteMainSettingValues(*worker);
}

void Project::LoadConfigurationFile(const std::string& path) {
  UploadConfiguration(ReadConfigurationFile(path));
}

std::string Project::ReadConfigurationFile(const std::string& path) {
  std::string json;
  if (!ReadTextFile(path, json)) {
    throw std::runtime_error(
        fmt::format("Failed open configuration file: '{}'", QuoteClientText(path)));
  }
  return json;
}

void Project::ApplyConfiguration() {
  std::unique_lock lock(lock_);
  ApplyConfigurationUnlocked();
}

void Project::SetConfigurationValue(const std::string& setting_id, const std::string& name,
                                    PropertyValue value) {
  std::unique_lock lock(lock_);
  if (!configuration_ || !configuration_->HasProperty(setting_id, name)) return;
  const std::shared_ptr<IDataProcess> worker = MainSettingWorkerUnlocked();
  if (configuration_->SetValue(setting_id, name, std::move(value))) WriteMainSettingValues(*worker);
}

void Project::ApplyConfigurationUnlocked() {
  if (!configuration_) return;
  WriteMainSettingValues(*MainSettingWorkerUnlocked());
}

std::shared_ptr<IDataProcess> Project::MainSettingWorkerUnlocked() const {
  const std::string& worker_id = configuration_->main_worker_id;
  // The lookup would take the empty id for the system name of any unnamed worker.
  if (worker_id.empty()) throw std::runtime_error("Executor not found with id: ");
  return GetWorkerUnlocked(worker_id);
}

void Project::WriteMainSettingValues(IDataProcess& worker) {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Apply configuration");
  std::ostringstream values;
  WriteMainSettingValuesAsJson(configuration_, values);
  SetWorkerPropertyFromString(worker, kSettingsProperty, values.str());
}

void Project::UpdateConfigurationFromMainSetting() {
  std::shared_lock lock(lock_);
  UpdateConfigurationFromMainSettingHeld();
}

void Project::UpdateConfigurationFromMainSettingHeld() {
  Timer timer("UpdateConfigurationFromMainSetting");
  const std::shared_ptr<IDataProcess> worker = chain_->FindMainSettingWorker();
  const std::shared_ptr<ProjectConfiguration> configuration = configuration_;
  if (!worker) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Failed update configuration actual values: 'main setting worker not found'");
    return;
  }
  const std::string text = worker->GetPropertyString(kSettingsProperty, "");
  if (text.empty()) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Failed update configuration actual values: 'configuration setting is empty'");
    return;
  }
  // A load that stopped before building the configuration may have made the worker.
  if (!configuration) return;
  if (!ParseProjectConfigurationActualValues(text, JsonParser::kRapidJson, configuration)) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Failed update configuration actual values: 'parse error'");
  }
}

std::string Project::GetConfigurationJson() const {
  const std::shared_ptr<ProjectConfiguration> configuration = GetConfiguration();
  if (!configuration) return "";
  std::ostringstream document;
  WriteProjectConfigurationAsJson(configuration, document);
  return document.str();
}

std::shared_ptr<SettingNode> Project::GetSetting(const std::string& id) const {
  const std::shared_ptr<ProjectConfiguration> configuration = GetConfiguration();
  const std::shared_ptr<SettingNode> node =
      configuration ? configuration->FindSetting(id) : nullptr;
  if (!node) throw std::runtime_error(fmt::format("Setting: {} not found", QuoteClientText(id)));
  std::shared_lock lock(configuration->GetLock());
  return CopySubtree(*node);
}

}  // namespace zelph
