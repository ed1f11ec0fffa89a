// project_configuration_reader.h
//
// Builds a project's settings tree from a loaded chain, and applies configuration
// documents to such a tree. Two document forms are read:
//
//   {"app": "zelph-project-configuration", "chain_id": "...", "caption": "...",
//    "description": "...", "data": {"<worker>": {"<property>": value}},
//    "settings": {"<control>": value, "@<child>": {...}}}
//
// and the bare settings object (the "settings" member alone). Both run on the caller's
// thread. Building locks nothing (the new tree is the caller's alone); applying parses the
// text first and then holds the configuration's lock exclusively while it changes the tree
// and the workers' properties (each under its bag's lock).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/config/zelph_config.h"
#include "zelph/settings/project_configuration.h"

class IDataProcessChain;
class IDataProcessModel;

// The settings tree of `chain`, with the subtrees of "settings" controls resolved among
// the models of the chain's session. Never empty; a value of the main-settings worker's
// defaults that does not convert leaves as its exception and no configuration is made.
ZELPH_CHAIN_API std::shared_ptr<ProjectConfiguration> BuildProjectConfiguration(
    std::shared_ptr<IDataProcessChain> chain);

// The same with the models to resolve "settings" controls among given by the caller.
ZELPH_CHAIN_API std::shared_ptr<ProjectConfiguration> BuildProjectConfiguration(
    std::shared_ptr<IDataProcessChain> chain,
    const std::vector<std::shared_ptr<IDataProcessModel>>& models);

// Applies a configuration document or a bare settings object. False after a failure, which
// is logged; what was applied before it stays. Takes the configuration's lock exclusively:
// the caller must not hold it.
ZELPH_CHAIN_API bool ApplyProjectConfigurationValues(
    const std::string& json, std::shared_ptr<ProjectConfiguration> configuration);

// Back-end dispatch of the two operations above: only kRapidJson reads settings; kMiniJson
// logs "Unsupported minijson parser", any other value "Unsupported json parser", and the
// result is empty or false.
ZELPH_CHAIN_API std::shared_ptr<ProjectConfiguration> ParseProjectConfiguration(
    std::shared_ptr<IDataProcessChain> chain, JsonParser parser);
ZELPH_CHAIN_API bool ParseProjectConfigurationActualValues(
    const std::string& json, JsonParser parser,
    std::shared_ptr<ProjectConfiguration> configuration);
