// project_configuration.cpp
//
// The project configuration and the searches over its tree.
#include "zelph/settings/project_configuration.h"

#include <mutex>
#include <utility>

#include "zelph/logger/log.h"
#include "zelph/model/uuid.h"

namespace {

std::shared_ptr<SettingNode> FindInSubtree(const std::shared_ptr<SettingNode>& node,
                                           const std::string& id) {
  if (node->id == id) return node;
  for (const auto& child : node->children) {
    if (auto found = FindInSubtree(child, id)) return found;
  }
  return nullptr;
}

}  // namespace

ProjectConfiguration::ProjectConfiguration(const std::string& chain_id,
                                           const std::string& main_worker_id,
                                           const std::string& caption,
                                           const std::string& description,
                                           std::shared_ptr<SettingRoot> root)
    : chain_id(chain_id),
      main_worker_id(main_worker_id),
      caption(caption),
      description(description),
      root(std::move(root)),
      lock_(std::make_shared<std::shared_mutex>()) {
  id = zelph::NewUuidText();
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Create project configuration {}", id);
}

ProjectConfiguration::ProjectConfiguration(const ProjectConfiguration& other) { *this = other; }

ProjectConfiguration& ProjectConfiguration::operator=(const ProjectConfiguration& other) {
  if (this == &other) return *this;
  std::shared_lock lock(other.GetLock());
  id = other.id;
  chain_id = other.chain_id;
  main_worker_id = other.main_worker_id;
  caption = other.caption;
  description = other.description;
  root = other.root;
  lock_ = other.lock_;
  return *this;
}

ProjectConfiguration::~ProjectConfiguration() {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Destroy project configuration {}", id);
}

bool ProjectConfiguration::HasSetting(const std::string& setting_id) const {
  return FindSetting(setting_id) != nullptr;
}

std::shared_ptr<SettingNode> ProjectConfiguration::FindSetting(
    const std::string& setting_id) const {
  return FindInSubtree(root, setting_id);
}

bool ProjectConfiguration::HasProperty(const std::string& setting_id,
                                       const std::string& name) const {
  const auto node = FindSetting(setting_id);
  return node && node->HasProperty(name);
}

bool ProjectConfiguration::SetValue(const std::string& setting_id, const std::string& name,
                                    PropertyValue&& value) {
  const auto node = FindSetting(setting_id);
  if (!node) return false;
  std::unique_lock lock(GetLock());
  return node->SetValue(name, std::move(value));
}

boost::optional<PropertyValue> ProjectConfiguration::GetValue(const std::string& setting_id,
                                                              const std::string& name) {
  const auto node = FindSetting(setting_id);
  if (!node) return boost::none;
  std::shared_lock lock(GetLock());
  return node->GetValue(name);
}

std::shared_ptr<MainSetting> ProjectConfiguration::FindMainSetting() const {
  return std::dynamic_pointer_cast<MainSetting>(FindSettingByKind(kMainSetting));
}

std::shared_ptr<SettingWorker> ProjectConfiguration::FindWorkerSetting() const {
  return std::dynamic_pointer_cast<SettingWorker>(FindSettingByKind(kSettingWorker));
}

std::shared_ptr<SettingNode> ProjectConfiguration::FindSettingByKind(SettingKind kind) const {
  for (const auto& child : root->children) {
    if (child->kind == kind) return child;
  }
  return nullptr;
}
