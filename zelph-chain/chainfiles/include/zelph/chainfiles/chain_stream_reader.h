// chain_stream_reader.h
//
// The chain file reader of the streaming back-end (kMiniJson). It reads both forms of a
// chain file: the root form ("app" "zelph-chain" or "chain") and the project form ("app"
// "zelph-project" or "Davodavora", chain under "zelph_chain" and/or "chain"), with the
// aliases and legacy keys of older files. It makes two passes over the text: the first
// takes "app" and "version", the second reads the chosen form.
//
// The reader only adds to the DataChain it is given (fields assigned, workers, ports and
// links appended, properties stored); it never clears it, also not on failure, and never
// writes DataChain::error: failures are logged. What was read before a failure stays.
// Runs on the caller's thread; it touches nothing shared but the data type table and the
// loggers.
#pragma once

#include <cstddef>

#include "zelph/chain/export.h"
#include "zelph/chainfiles/data_chain.h"

namespace zelph {

// Reads `length` bytes of chain text (no terminating NUL needed). True when a chain or
// project form was read to its end.
ZELPH_CHAIN_API bool ReadChainMiniJson(const char* text, std::size_t length, DataChain& chain);

// Reads the file at `path` and passes its text to ReadChainMiniJson. A path that is not a
// readable regular file logs "Failed load file: {}" and gives false.
ZELPH_CHAIN_API bool ReadChainMiniJsonFile(const char* path, DataChain& chain);

}  // namespace zelph
