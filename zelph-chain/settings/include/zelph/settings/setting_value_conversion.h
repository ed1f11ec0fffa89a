// setting_value_conversion.h
//
// Conversions of one JSON value to the value of a settings control of a given data type,
// shared by every reader that fills settings trees. Results always carry the changed
// mark. A JSON value of the wrong kind (a fraction for an int control, a number where a
// string is read) fails through the RapidJSON assertion hook with zelph::Exception
// "Something wrong in JSON file!"; a data type that takes no such value (or none at all)
// fails with std::runtime_error.
#pragma once

#include "zelph/config/rapidjson.h"

#include "zelph/chain/export.h"
#include "zelph/model/data_type.h"
#include "zelph/model/property.h"

// short/int: an integer that fits 32 bits; long: one that fits 64 bits; float: rounded to
// single precision and kept as double; double; boolean: true when not 0. Any other type:
// "Unsupported number conversion".
ZELPH_CHAIN_API PropertyValue JsonNumberToPropertyValue(const rapidjson::Value& number,
                                                        const IDataType* type);

// The text up to its first NUL. scalar/String: the text; boolean: exactly "true" is true;
// short/int: the leading decimal number, saturated to 32 bits (0 when there is none);
// long: the same in 64 bits; float/double: the leading number. Any other type:
// "Unsupported bool conversion".
ZELPH_CHAIN_API PropertyValue JsonStringToPropertyValue(const rapidjson::Value& text,
                                                        const IDataType* type);

// A JSON true or false for a boolean control; any other type: "Unsupported bool
// conversion".
ZELPH_CHAIN_API PropertyValue JsonBoolToPropertyValue(const rapidjson::Value& flag,
                                                      const IDataType* type);
