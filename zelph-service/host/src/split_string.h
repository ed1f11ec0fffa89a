// split_string.h
//
// Splitting a text at every occurrence of a delimiter text.
#pragma once

#include <string>
#include <vector>

namespace zelph::host {

// The pieces between the delimiters, empty ones included, and the rest after the last
// delimiter: "a;;b" gives "a", "", "b"; an empty text gives one empty piece. An empty
// delimiter gives the whole text as the only piece.
std::vector<std::string> SplitString(const std::string& text, const std::string& delimiter);

}  // namespace zelph::host
