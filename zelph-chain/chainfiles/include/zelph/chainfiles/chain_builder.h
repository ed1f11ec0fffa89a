// chain_builder.h
//
// Turns chain data into a live chain, and the entry points that read chain text or a chain
// file with the chosen JSON back-end and build the chain from it.
//
// The building road, in order: the chain's own properties, id, texts and options; the
// loading-time workers, then (when there is any worker) the loading stage is run and the
// plug-ins register the models of the chain's session; the run-time workers; the links.
// A worker whose model is not registered becomes a placeholder (DataProcessUnknown) with
// the file's ports and properties, which records "Executor not found" when it runs.
//
// Everything runs on the caller's thread, the loading stage included; the caller keeps
// other threads off the chain meanwhile. A worker id or a placeholder's data type id that
// is not uuid text raises "invalid uuid string" to the caller; what was built stays.
//
//   auto chain = zelph::LinkedChain::Create();
//   if (!ParseChainFile("demo.json", JsonParser::kMiniJson, chain)) { ... }
//   chain->Execute(zelph::ExecutionStage::kRunTime, ExecutionFlow::kRepeatWhileRequested);
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/chainfiles/data_chain.h"
#include "zelph/config/zelph_config.h"

class IDataProcessChain;

namespace zelph::parse {

// Creates and adds the workers of `data` whose stage is `stage`, in file order.
ZELPH_CHAIN_API void CreateWorkersFromDataChain(std::shared_ptr<IDataProcessChain> chain,
                                                DataChain& data, ExecutionStage stage);
// Creates the links of `data` between ports of workers already in the chain; a link whose
// ports are not both found is passed over. Port ids are unique only per worker (two workers
// whose uuids share their first four bytes give same-named ports one id): an end whose link
// names a worker of the chain that holds the port is resolved on that worker, any other end
// by the port id alone. Ports that share an id are logged as a warning.
ZELPH_CHAIN_API void CreateLinksFromDataChain(std::shared_ptr<IDataProcessChain> chain,
                                              DataChain& data);
// Copies the chain properties, id, texts, options and executor text onto the chain.
ZELPH_CHAIN_API void ApplyChainPropertiesFromDataChain(std::shared_ptr<IDataProcessChain> chain,
                                                       DataChain& data);

}  // namespace zelph::parse

// Each reads with the back-end `parser` and, only when the read succeeds, builds the chain;
// the result is the read's result.
ZELPH_CHAIN_API bool ParseChainFile(const std::string& path, JsonParser parser,
                                    std::shared_ptr<IDataProcessChain> chain);
ZELPH_CHAIN_API bool ParseChain(const char* text, std::size_t length, JsonParser parser,
                                std::shared_ptr<IDataProcessChain> chain);
// kMiniJson only.
ZELPH_CHAIN_API bool ParseChain(const std::string& text, JsonParser parser,
                                std::shared_ptr<IDataProcessChain> chain);
// Reads without building; a failed document read leaves its message in DataChain::error.
ZELPH_CHAIN_API zelph::DataChain ParseChain(const std::string& text, JsonParser parser);
