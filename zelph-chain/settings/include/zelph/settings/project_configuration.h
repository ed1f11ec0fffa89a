// project_configuration.h
//
// A project's settings: the tree of settings nodes built from a loaded chain, with the
// identity of the configuration (its own random id, the chain's id, the chain's
// main-settings worker) and its caption and description. The service holds one per
// loaded chain by shared pointer.
//
// Threading: the shape of the tree (its nodes, their ids, names and kinds, their lists of
// controls and children) and the id and main-settings worker id are fixed once the
// configuration is made, so the searches need no lock. What changes afterwards, every
// control's value and the chain id, caption and description, is guarded by the
// configuration's reader/writer lock (GetLock): SetValue and GetValue take it themselves,
// and so do the document reader and the chain settings writer of this library; whoever
// reads or writes those members directly holds it, shared to read, exclusively to write.
// A service takes it after its own project lock. The lock is not re-entrant: a thread that
// holds it calls none of the functions that take it.
#pragma once

#include <boost/optional.hpp>

#include <memory>
#include <shared_mutex>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/settings/setting_node.h"

class ZELPH_CHAIN_API ProjectConfiguration {
 public:
  // Stores the arguments and makes a new random id. `root` must not be empty.
  ProjectConfiguration(const std::string& chain_id, const std::string& main_worker_id,
                       const std::string& caption, const std::string& description,
                       std::shared_ptr<SettingRoot> root);
  // Copies share the tree, and with it the lock, and keep the id. The source is read under
  // its lock; a configuration that other threads use is not assigned to.
  ProjectConfiguration(const ProjectConfiguration& other);
  ProjectConfiguration& operator=(const ProjectConfiguration& other);
  ~ProjectConfiguration();

  // The lock of the tree's values and of the chain id, caption and description.
  std::shared_mutex& GetLock() const { return *lock_; }

  bool HasSetting(const std::string& id) const;
  // The first node with that id, searched in pre-order from the root; the empty id finds
  // the root itself.
  std::shared_ptr<SettingNode> FindSetting(const std::string& id) const;
  bool HasProperty(const std::string& setting_id, const std::string& name) const;
  // Replaces the value of the node's first control of that name under the exclusive lock;
  // false when the node or the control is missing.
  bool SetValue(const std::string& setting_id, const std::string& name, PropertyValue&& value);
  // A copy of that control's value, read under the shared lock.
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

  std::shared_ptr<std::shared_mutex> lock_;
};
