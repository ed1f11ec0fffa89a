// chain_config_reader.h
//
// Chain configuration documents: property and system values for a set of workers, without
// the rest of a chain file.
//
//   {"app": "zelph-chain-config",
//    "workers": {"<worker id>": {"properties": {"gain": 2}, "system": {"name": "cam"}}}}
//
// Values keep their JSON kind: bool, text, int (fits 32 bits), long long (fits 64 bits),
// else double; null, objects and arrays are skipped with a warning.
#pragma once

#include <string>

#include "zelph/chain/export.h"
#include "zelph/chainfiles/data_chain.h"
#include "zelph/config/zelph_config.h"

namespace zelph::parse {

// Reads the JSON text (not a file name). Only kRapidJson reads it; any other back-end logs
// "Unsupported json chain settings parser" and gives an empty result. A document that fails
// part-way gives the workers read before the failure (logged as
// "Failed to parse chain settings: {}"); this never throws for a bad document.
ZELPH_CHAIN_API DataChainConfig ParseChainConfig(const std::string& json, JsonParser parser);

}  // namespace zelph::parse
