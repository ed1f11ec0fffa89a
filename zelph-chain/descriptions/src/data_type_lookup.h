// data_type_lookup.h
//
// The one place where descriptions resolve a data type name ("int32", "String", "mat", ...)
// to a registered data type: the plug-in manager's table, so types that plug-ins register
// are accepted as well.
#pragma once

#include <string>

#include "zelph/model/data_type.h"

namespace zelph::descriptions {

// The first registered data type that accepts `name`; null when none does.
const IDataType* FindDataType(const std::string& name);

}  // namespace zelph::descriptions
