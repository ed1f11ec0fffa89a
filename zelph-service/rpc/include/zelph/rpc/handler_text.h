// handler_text.h
//
// Small text routines that the API handlers share (and the chain-file run reuses): property
// values as the texts clients read in model and settings descriptions, splitting of ids,
// and the names of object statuses.
#pragma once

#include <string>
#include <vector>

#include "zelph/model/property.h"

// Integers in decimal, a double with six decimals ("2.500000"), a text unchanged, a bool as
// "1" or "0" (not "true"/"false", unlike PropertyValueToString).
std::string PropertyValueToText(const PropertyVariant& value);

// The pieces of `text` between the occurrences of `delimiter`, left to right. Empty pieces
// stay: "a,,b" gives "a", "", "b"; "a," gives "a", ""; "" gives "". An empty delimiter
// does not split.
std::vector<std::string> SplitString(const std::string& text, const std::string& delimiter);

// The name of an object status: 1 "queue", 2 "executing", 3 "ready", any other "undefined".
std::string ExecutionStatusName(int status);
