// configuration_documents.h
//
// A project's configuration (its settings tree, zelph/settings/project_configuration.h)
// written as JSON, in the two forms that the configuration reader of zelph-chain takes back:
//
//   the configuration document: {"app": "zelph-project-configuration", "id", "chain_id",
//     "caption", "description", "data": {"<worker system name>": {"<property>": value}},
//     "settings": {<setting values of the main-settings node>}}
//   the main-settings values document: the "settings" object alone, which the main-settings
//     worker keeps as text in its property "settings".
//
// Setting values of a node are its controls by name (controls named "_cs___..." left out,
// "settings" controls holding JSON text embedded as "@<name>": <that JSON>), then its child
// nodes as "@<child name>": {...}. Keys are written as they come, duplicates included. Values
// keep their type; a double that is not finite is written as null. Both documents are pretty
// printed (four spaces) without a line break after the closing brace.
//
// Threading: the two document writers read the tree under the configuration's lock, held
// shared (the caller must not hold it), and each worker property under its bag's lock. The
// two node writers take no lock: their caller holds the configuration's lock.
#pragma once

#include "zelph/config/rapidjson.h"

#include <iosfwd>
#include <memory>

#include "zelph/settings/project_configuration.h"

namespace zelph {

// Writes the configuration document to `out`; returns true. Throws std::invalid_argument
// for an empty configuration. Takes the configuration's lock shared.
bool WriteProjectConfigurationAsJson(const std::shared_ptr<ProjectConfiguration>& configuration,
                                     std::ostream& out);

// Writes the main-settings values document ("{}" without a main-settings node) to `out`;
// returns true. Throws std::invalid_argument for an empty configuration. Takes the
// configuration's lock shared.
bool WriteMainSettingValuesAsJson(const std::shared_ptr<ProjectConfiguration>& configuration,
                                  std::ostream& out);

// Adds the setting values of `node` and its subtree to `object` (an object value of the
// document that owns `allocator`); nothing for an empty node.
void WriteSettingNodeValuesAsJson(const std::shared_ptr<SettingNode>& node,
                                  rapidjson::Value& object,
                                  rapidjson::Document::AllocatorType& allocator);

// Adds one member per worker node under `workers` whose worker has a system name: the
// worker's current properties named like the node's controls.
void WriteWorkerSettingValuesAsJson(const std::shared_ptr<SettingWorker>& workers,
                                    rapidjson::Value& object,
                                    rapidjson::Document::AllocatorType& allocator);

}  // namespace zelph
