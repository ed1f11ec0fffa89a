// chain_document_reader.h
//
// The chain file reader of the document back-end (kRapidJson): parses the whole text into
// a RapidJSON document, then fills a DataChain from the project form ("app"
// "zelph-project" or "Davodavora"). Strict about JSON types: a taken member of the wrong
// type ends the read with one message in DataChain::error and clears DataChain::id.
// Runs on the caller's thread and keeps no state between calls.
#pragma once

#include <cstddef>

#include "zelph/chain/export.h"
#include "zelph/chainfiles/data_chain.h"

namespace zelph {

// Reads `length` bytes of chain text (no terminating NUL needed); clears chain.error
// first. A root that is not an object, or an "app" that is not a string, raises
// zelph::Exception "Something wrong in JSON file!" to the caller.
ZELPH_CHAIN_API bool ReadChainJsonText(const char* text, std::size_t length, DataChain& chain);

// Reads the chain file at `path`. A path that is not a readable regular file raises
// zelph::Exception "Something wrong in JSON file!" to the caller.
ZELPH_CHAIN_API bool ReadChainJsonFile(const char* path, DataChain& chain);

}  // namespace zelph
