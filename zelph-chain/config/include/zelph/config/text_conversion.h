// text_conversion.h
//
// std::stoi, std::stoll and std::stod with messages that name the failure: texts such as
// "invalid stoi argument" and "stoll argument out of range" reach logs and clients, where
// libstdc++'s bare "stoi" would say nothing. Parsing is exactly the standard one: leading
// blanks, an optional sign, the longest valid prefix (base 10 by default), the rest ignored.
#pragma once

#include <cstddef>
#include <string>

#include "zelph/chain/export.h"

namespace zelph::text {

// Throw std::invalid_argument("invalid stoi argument") when no digit is found and
// std::out_of_range("stoi argument out of range") when the value does not fit; likewise
// "stoll" and "stod". `index`, when given, receives the count of characters used.
ZELPH_CHAIN_API int StoI(const std::string& text, std::size_t* index = nullptr, int base = 10);
ZELPH_CHAIN_API long long StoLL(const std::string& text, std::size_t* index = nullptr,
                                int base = 10);
ZELPH_CHAIN_API double StoD(const std::string& text, std::size_t* index = nullptr);

}  // namespace zelph::text
