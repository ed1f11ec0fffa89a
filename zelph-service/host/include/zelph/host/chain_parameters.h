// chain_parameters.h
//
// The "params" option of a chain-file run: values for data workers, written as
// name<v_delimiter>value pairs joined by p_delimiter ("a=1;b=2" with the defaults).
#pragma once

#include <map>
#include <string>

namespace zelph::host {

// The pairs of the "params" option, by name; a later pair of the same name wins, and a piece
// that is not exactly one name and one value is dropped. A value that begins with a double
// quote loses its first and last character, in the record too (the shell may hand quotes
// on). Needs non-empty delimiters, as ValidateCliArguments ensures. Never throws for bad
// text.
std::map<std::string, std::string> ParseChainParameters();

}  // namespace zelph::host
