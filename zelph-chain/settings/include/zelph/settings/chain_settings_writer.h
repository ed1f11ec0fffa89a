// chain_settings_writer.h
//
// The chain settings document ("app": "zelph-chain-settings"): what a client can set in a
// chain. From a live chain it lists the input, output and data workers with the controls
// of their models, and the tree of settings workers linked into the main-settings worker;
// from a ProjectConfiguration it shows the settings tree with every control's current
// value. Written indented by four spaces on the caller's thread. The chain form takes no
// lock: the caller keeps other threads from changing the chain meanwhile. The configuration
// form reads the tree under the configuration's lock, held shared.
#pragma once

#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/config/zelph_config.h"
#include "zelph/settings/project_configuration.h"

class IDataProcessChain;

namespace zelph {

// The chain form for kRapidJson. kMiniJson logs "Unsupported chain settings writer" and
// gives ""; any other value gives "" silently.
ZELPH_CHAIN_API std::string WriteChainSettingsAsJson(JsonParser parser,
                                                     std::shared_ptr<IDataProcessChain> chain);

// The configuration form, under the same back-end rule. Takes the configuration's lock
// shared: the caller must not hold it.
ZELPH_CHAIN_API std::string WriteChainSettingsAsJson(JsonParser parser,
                                                     const ProjectConfiguration& configuration);

}  // namespace zelph
