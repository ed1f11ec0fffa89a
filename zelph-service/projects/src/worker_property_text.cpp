// worker_property_text.cpp
//
// Texts converted to a worker property by the type of the model's control.
#include "zelph/projects/worker_property_text.h"

#include <boost/optional.hpp>

#include <optional>
#include <utility>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_type.h"
#include "zelph/model/numeric_text.h"
#include "zelph/model/property.h"

namespace zelph {
namespace {

template <typename DataType>
bool Is(const IDataType* type) {
  return type != nullptr && DataType::Equals(type);
}

// The variant the text becomes for a control of `type`, or none for a type without a
// conversion.
std::optional<PropertyVariant> Convert(const IDataType* type, const std::string& text) {
  if (Is<DataTypeInt32>(type)) return text::AtoI(text.c_str());
  if (Is<DataTypeInt64>(type)) return text::AtoLL(text.c_str());
  if (Is<DataTypeDouble>(type) || Is<DataTypeFloat>(type)) return text::AtoF(text.c_str());
  if (Is<DataTypeBool>(type)) return text == "true";
  if (Is<DataTypeScalar>(type) || Is<DataTypeStr>(type)) return text;
  return std::nullopt;
}

}  // namespace

void SetWorkerPropertyFromString(IDataProcess& worker, const std::string& name,
                                 const std::string& text) {
  Property& properties = *worker.GetProperties();
  const boost::optional<BaseControl> control = worker.GetStructure().FindControl(name);
  if (!control) {
    properties.SetValue(name, text);
    return;
  }
  const IDataType* type = control->GetValueType();
  if (std::optional<PropertyVariant> value = Convert(type, text)) {
    properties.SetValue(name, PropertyValue{true, std::move(*value)});
    return;
  }
  ZELPH_LOG(ZelphSeverityLevel::kWarning, "Unsupported data type {} property: {} saved as is",
            QuoteClientText(type != nullptr ? type->GetName() : control->GetValueTypeName()),
            QuoteClientText(name));
  properties.SetValue(name, text);
}

}  // namespace zelph
