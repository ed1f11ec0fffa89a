// json_values.h
//
// How a description reads one scalar value, whatever JSON kind the writer chose:
// - text: the string's content, the number token as written, or true/false/null;
// - flag: on for true and for a non-zero integer; off for anything else (fractions,
//   exponents, strings, null);
// - number: a number's value, true as 1, anything else 0;
// - integer: an integer number's value, true as 1, anything else (fractions too) 0.
// An object or array where one of these is expected fails the read.
#pragma once

#include <string>

#include "zelph/config/json_stream_reader.h"

namespace zelph::descriptions {

std::string TextOf(const json::StreamValue& value);
bool FlagOf(const json::StreamValue& value);
double NumberOf(const json::StreamValue& value);
int IntegerOf(const json::StreamValue& value);

// Appends the text of every element of the array `value` to `texts`.
template <typename Container>
void ReadTexts(json::StreamValue& value, Container& texts) {
  value.ReadArray([&](json::StreamValue& element) { texts.insert(texts.end(), TextOf(element)); });
}

// Passes over a value of a key the format does not know.
inline void Ignore(json::StreamValue& value) {
  if (value.IsObjectOrArray()) value.Skip();
}

}  // namespace zelph::descriptions
