// chain_writer.h
//
// Writes a live chain as a chain file (root form, "app" "chain"). Two back-ends with
// visibly different output: kMiniJson streams compact JSON with typed properties and the
// ports of the model's description; kRapidJson builds a document and writes it indented by
// four spaces, with the worker's own ports and the executor text merged in.
//
// Runs on the caller's thread and takes no chain-level lock: a caller whose chain other
// threads may change keeps them out for the duration. Exceptions of the writers reach the
// caller; the compact writer may have written a prefix by then, the document writer
// writes nothing unless the whole document was built.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/config/zelph_config.h"

class IDataProcessChain;

// kMiniJson and kRapidJson write; any other value writes nothing.
ZELPH_CHAIN_API void WriteChainAsJson(JsonParser parser, std::shared_ptr<IDataProcessChain> chain,
                                      std::ostream& out);

namespace zelph {

// Always "": chain configurations are not written in either back-end.
ZELPH_CHAIN_API std::string WriteChainConfigAsJson(JsonParser parser,
                                                   std::shared_ptr<IDataProcessChain> chain);

}  // namespace zelph
