// chain_writer.cpp
//
// Chooses the chain writer by back-end.
#include "zelph/chainfiles/chain_writer.h"

#include "chain_writer_compact.h"
#include "chain_writer_document.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"

void WriteChainAsJson(JsonParser parser, std::shared_ptr<IDataProcessChain> chain,
                      std::ostream& out) {
  zelph::Timer timer("WriteChainAsJson");
  if (!chain) return;
  if (parser == JsonParser::kMiniJson) {
    zelph::WriteChainCompact(*chain, out);
  } else if (parser == JsonParser::kRapidJson) {
    zelph::WriteChainDocument(*chain, out);
  }
}

namespace zelph {

std::string WriteChainConfigAsJson(JsonParser parser, std::shared_ptr<IDataProcessChain>) {
  if (parser == JsonParser::kMiniJson || parser == JsonParser::kRapidJson) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported chain config writer");
  }
  return {};
}

}  // namespace zelph
