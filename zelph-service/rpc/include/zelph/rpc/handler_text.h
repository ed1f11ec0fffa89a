// handler_text.h
//
// Property values as the texts clients read in model and settings descriptions, shared by
// the API handlers and the chain-file run.
#pragma once

#include <string>

#include "zelph/model/property.h"

// Integers in decimal, a double with six decimals ("2.500000"), a text unchanged, a bool as
// "1" or "0" (not "true"/"false", unlike PropertyValueToString).
std::string PropertyValueToText(const PropertyVariant& value);
