// project_configuration.h
//
// A project's settings: the tree of settings nodes built from a loaded chain, with the
// identity of the configuration (its own random id, the chain's id, the chain's
// main-settings worker) and its caption and description. The service holds one per
// loaded chain by shared pointer and serialises every access under its project lock;
// nothing here locks.
#pragma once

#include <boost/optional.hpp>

#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/settings/setting_node.h"

class ZELPH_CHAIN_API ProjectConfiguration {
 public:
  // Stores the arguments and makes a new random id. `root` must not be empty.
  ProjectConfiguration(const std::string& chain_id, const std::string& main_worker_id,
                       const std::string& caption, const std::string& description,
                       std::shared_ptr<SettingRoot> root);
  // Copies share the tree and keep the id.
  ProjectConfiguration(const ProjectConfiguration&) = default;
  ProjectConfiguration& operator=(const ProjectConfiguration&) = default;
  ~ProjectConfiguration();

  bool HasSetting(const std::string& id) const;
  // The first node with that id, searched in pre-order from the root; the empty id finds
  // the root itself.
  std::shared_ptr<SettingNode> FindSetting(const std::string& id) const;
  bool HasProperty(const std::string& setting_id, const std::string& name) const;
  bool SetValue(const std::string& setting_id, const std::string& name, PropertyValue&& value);
  boost::optional<PropertyValue> GetValue(const std::string& setting_id, const std::string& name);
  // The root's first child of the main-settings kind (or of the worker kind), when it is a
  // node of that class; deeper levels and later children are never considered.
  std::shared_ptr<MainSetting> FindMainSetting() const;
  std::shared_ptr<SettingWorker> FindWorkerSetting() const;

  std::string id;
  std::string chain_id;
  std::string main_worker_id;
  std::string caption;
  std::string description;
  std::shared_ptr<SettingRoot> root;

 private:
  std::shared_ptr<SettingNode> FindSettingByKind(SettingKind kind) const;
};
