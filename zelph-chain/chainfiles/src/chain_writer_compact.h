// chain_writer_compact.h
//
// The compact (kMiniJson) chain writer behind WriteChainAsJson.
#pragma once

#include <ostream>

class IDataProcessChain;

namespace zelph {

void WriteChainCompact(IDataProcessChain& chain, std::ostream& out);

}  // namespace zelph
