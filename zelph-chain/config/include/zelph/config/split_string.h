// split_string.h
//
// Splitting a text at every occurrence of a delimiter text: chain parameters on the command
// line, ids in request URLs.
#pragma once

#include <string>
#include <vector>

#include "zelph/chain/export.h"

namespace zelph {

// The pieces between the delimiters, empty ones included, and the rest after the last
// delimiter: "a;;b" gives "a", "", "b"; an empty text gives one empty piece. An empty
// delimiter gives the whole text as the only piece.
ZELPH_CHAIN_API std::vector<std::string> SplitString(const std::string& text,
                                                     const std::string& delimiter);

}  // namespace zelph
