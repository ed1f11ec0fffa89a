// chain_writer_document.h
//
// The document (kRapidJson) chain writer behind WriteChainAsJson.
#pragma once

#include <ostream>

class IDataProcessChain;

namespace zelph {

void WriteChainDocument(IDataProcessChain& chain, std::ostream& out);

}  // namespace zelph
