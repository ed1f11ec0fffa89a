// description_conversion.h
//
// Turns collected controls and ports into the model's classes: data types resolved by
// name, the default value converted by the control's value type, the resource state and
// parity derived. Failures throw std::runtime_error with the text to log.
#pragma once

#include <memory>
#include <vector>

#include "collected_description.h"
#include "zelph/model/base_control.h"
#include "zelph/model/port.h"

namespace zelph::descriptions {

BaseControl ConvertControl(const JsonControl& control);

// The default text as the value type takes it, with the changed mark set. Throws
// "Exception: {}, property: {}" when the text is no number of that type.
PropertyValue ConvertDefault(const IDataType* type, const std::string& text,
                             const std::string& control_name);

// All ports or none: the first port whose data type is unknown fails the lot.
std::vector<std::unique_ptr<Port>> ConvertPorts(const std::vector<JsonPort>& ports);

}  // namespace zelph::descriptions
