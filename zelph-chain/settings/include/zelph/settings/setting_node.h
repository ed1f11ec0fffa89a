// setting_node.h
//
// The nodes of a project's settings tree and the controls they carry. A tree has a root,
// at most one main-settings node (the chain's main-settings worker with the subtrees of its
// "settings" controls) and one node that groups a node per named worker:
//
//   root (SettingRoot)
//   ├── MainSetting  id = main worker id, controls "<worker id>/<control>"
//   │   └── MainSetting  id = MakeSettingId("<worker id>/<control>") ...
//   └── SettingWorker (grouping node, no worker)
//       └── SettingWorker per worker, holding that worker
//
// These are plain structures with public fields: the service reads them directly. Nodes
// and controls are held by shared pointer, so copying a node shares (never clones) its
// controls and children. Nothing here takes a lock: the values of a configuration's tree are
// guarded by that configuration's lock (ProjectConfiguration::GetLock).
#pragma once

#include <boost/optional.hpp>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/model/base_control.h"
#include "zelph/model/property.h"

class IDataProcess;

enum SettingKind : std::int32_t {
  kSettingRoot = 0,
  kMainSetting = 1,
  kSettingWorker = 2,
};

// One control of a node: the parts of a model's control that a user interface needs, with
// the control's current value. Minimum, maximum, parity and the default are not kept; the
// default reaches the control only as its starting value.
struct ZELPH_CHAIN_API DataSettingControl {
  DataSettingControl(const std::string& id, const zelph::BaseControl& control, PropertyValue value);

  // "<name> [<id>]"
  std::string ToString() const;

  std::string id;
  std::string name;
  bool multiline = false;
  std::int32_t edition_rows = -1;
  PropertyValue value;
  const IDataType* value_type = nullptr;
  std::string value_type_name;
  std::string caption;
  std::string hint;
  std::string description;
  std::vector<zelph::BaseEnumValue> items;
  std::string url;
  std::string edition_type;
  bool is_resource = false;
};

class ZELPH_CHAIN_API SettingNode {
 public:
  SettingNode(const std::string& id, const std::string& name, const std::string& description,
              SettingKind kind, const std::string& model_id, const std::string& parent_id);
  SettingNode(const SettingNode&) = default;
  SettingNode& operator=(const SettingNode&) = default;
  virtual ~SettingNode();

  bool HasProperty(const std::string& name);
  // The first control of that name takes the value, changed mark included; false when the
  // node has no such control.
  bool SetValue(const std::string& name, PropertyValue&& value);
  boost::optional<PropertyValue> GetValue(const std::string& name);
  std::shared_ptr<SettingNode> FindChildByName(const std::string& name);
  std::shared_ptr<DataSettingControl> FindControl(const std::string& name);
  // Logs the subtree at debug level, `indent` blanks before this node's line.
  void DebugPrint(int indent);

  std::string id;
  std::string name;
  std::string description;
  std::string model_id;
  std::string parent_id;
  SettingKind kind;
  std::list<std::shared_ptr<DataSettingControl>> controls;
  std::list<std::shared_ptr<SettingNode>> children;
};

class ZELPH_CHAIN_API SettingRoot : public SettingNode {
 public:
  SettingRoot();
};

class ZELPH_CHAIN_API MainSetting : public SettingNode {
 public:
  MainSetting(const std::string& id, const std::string& name, const std::string& description,
              SettingKind kind, const std::string& model_id, const std::string& parent_id);
};

// A worker's node; it keeps its worker alive for as long as the node lives.
class ZELPH_CHAIN_API SettingWorker : public SettingNode {
 public:
  // The grouping node: no texts, no worker.
  SettingWorker();
  explicit SettingWorker(std::shared_ptr<IDataProcess> worker);
  SettingWorker(const SettingWorker&) = default;
  SettingWorker& operator=(const SettingWorker&) = default;
  // Moving copies the node part and takes the worker over, leaving the source without one.
  SettingWorker(SettingWorker&& other);
  SettingWorker& operator=(SettingWorker&& other);
  ~SettingWorker() override = default;

  std::shared_ptr<IDataProcess> worker;
};

// Texts and controls travelling together; kept for the interface, nothing fills it.
struct ZELPH_CHAIN_API DataIOSetting {
  std::string id;
  std::string name;
  std::string description;
  std::list<zelph::BaseControl> controls;
};
