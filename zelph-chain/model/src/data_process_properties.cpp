// data_process_properties.cpp
//
// A worker's user and system properties: typed reads, the enabled state and system name,
// the working folder, stores converted by the control's value type, and bindings.
#include "zelph/config/config_log.h"
#include "zelph/logger/client_text.h"
#include "zelph/model/data_process.h"
#include "zelph/model/property_keys.h"

void IDataProcess::SetProperties(std::unique_ptr<Property> properties) {
  properties_ = properties ? std::move(properties) : std::make_unique<Property>();
}

int IDataProcess::GetPropertyInt32(const std::string& key, int fallback) const {
  auto value = properties_->GetValue(key);
  return value ? PropertyValueToInt32(*value) : fallback;
}

long long IDataProcess::GetPropertyInt64(const std::string& key, long long fallback) const {
  auto value = properties_->GetValue(key);
  return value ? PropertyValueToInt64(*value) : fallback;
}

double IDataProcess::GetPropertyDouble(const std::string& key, double fallback) const {
  auto value = properties_->GetValue(key);
  return value ? PropertyValueToDouble(*value) : fallback;
}

std::string IDataProcess::GetPropertyString(const std::string& key, std::string fallback) const {
  auto value = properties_->GetValue(key);
  return value ? PropertyValueToString(*value) : fallback;
}

bool IDataProcess::GetPropertyBool(const std::string& key, bool fallback) const {
  auto value = properties_->GetValue(key);
  return value ? PropertyValueToBool(*value) : fallback;
}

bool IDataProcess::IsEnabled() const {
  // The bags are read one after the other, never both locked at once. The system bag holds
  // "enabled" from construction on, so the user bag is rarely read.
  if (auto system = system_properties_->GetValue("enabled")) return PropertyValueToBool(*system);
  auto user = properties_->GetValue(zelph::sys::kEnabled);
  return user ? PropertyValueToBool(*user) : true;
}

std::string IDataProcess::GetSystemName() {
  const std::string user_name = properties_->GetValueAsString(zelph::sys::kName, "");
  return system_properties_->GetValueAsString("name", user_name);
}

void IDataProcess::SetCurrentDir(const std::string& folder) {
  properties_->SetValue(zelph::sys::kCurrentWorkingFolder, folder);
}

std::string IDataProcess::GetCurrentDir() const {
  return properties_->GetValueAsString(zelph::sys::kCurrentWorkingFolder, "");
}

bool IDataProcess::UpdateChangedProperty(const char* name, PropertyValue& value) {
  if (name == nullptr) return true;
  auto it = bindings_.find(name);
  if (it != bindings_.end()) it->second.Apply(value);
  return true;
}

void IDataProcess::SetPropertyValue(const std::string& name, const bool& value) {
  StoreProperty(name, value);
}

void IDataProcess::SetPropertyValue(const std::string& name, const int& value) {
  StoreProperty(name, value);
}

void IDataProcess::SetPropertyValue(const std::string& name, const long long& value) {
  StoreProperty(name, value);
}

void IDataProcess::SetPropertyValue(const std::string& name, const double& value) {
  StoreProperty(name, value);
}

void IDataProcess::SetPropertyValue(const std::string& name, const std::string& value) {
  StoreProperty(name, value);
}

void IDataProcess::SetPropertyValue(const std::string& name, const char* value) {
  StoreProperty(name, std::string(value ? value : ""));
}

// The conversions by control type are exactly the bag's own conversions applied to the value
// in its own type, so one path serves every argument type.
void IDataProcess::StoreProperty(const std::string& name, PropertyVariant value) {
  Property& bag = *properties_;
  const auto control = GetStructure().FindControl(name);
  if (!control) {
    bag.SetValue(name, PropertyValue{true, std::move(value)});
    return;
  }
  const IDataType* type = control->GetValueType();
  if (type != nullptr) {
    if (DataTypeInt32::Equals(type)) {
      return bag.SetValue(name, PropertyValueToInt32(value));
    }
    if (DataTypeInt64::Equals(type)) {
      return bag.SetValue(name, PropertyValueToInt64(value));
    }
    if (DataTypeDouble::Equals(type) || DataTypeFloat::Equals(type)) {
      return bag.SetValue(name, PropertyValueToDouble(value));
    }
    if (DataTypeBool::Equals(type)) {
      return bag.SetValue(name, PropertyValueToBool(value));
    }
    if (DataTypeScalar::Equals(type) || DataTypeStr::Equals(type)) {
      return bag.SetValue(name, PropertyValueToString(value));
    }
  }
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kWarning,
                   "Unsupported data type {} property: {} saved as is",
                   type ? type->GetName() : "null", zelph::QuoteClientText(name));
  bag.SetValue(name, PropertyValue{true, std::move(value)});
}
