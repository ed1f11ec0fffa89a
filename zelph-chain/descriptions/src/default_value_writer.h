// default_value_writer.h
//
// Writes an object or array given as a control's default back as indented JSON text, the
// form in which controls carry structured defaults:
//
//   {
//     "a": [
//       1,
//       null
//     ]
//   }
//
// Two spaces per level; booleans as 1 and 0; strings escaped as JSON requires; numbers as
// their token in the description, so no digit is lost.
#pragma once

#include <string>

#include "zelph/config/json_stream_reader.h"

namespace zelph::descriptions {

// `value` must be an object or an array; it is consumed.
std::string WriteDefaultValue(json::StreamValue& value);

}  // namespace zelph::descriptions
