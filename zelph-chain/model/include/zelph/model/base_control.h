// base_control.h
//
// The description of one control of a model (a user-settable parameter): its value type and
// default, how a user edits it (ControlKind), its bounds and its enumeration items. Plain
// data with accessors, used by value across the library boundary; no locks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/model/data_type.h"
#include "zelph/model/property.h"

namespace zelph {

// How a user edits a control.
enum class ControlKind : std::int32_t {
  kUnknown = 0,
  kEnum = 1,   // one of the enumeration items
  kRange = 2,  // a value within min and max
  kValue = 3,  // a single value
  kText = 4,   // free text
  kFile = 5,   // a file to open
  kFileToSave = 6,
  kFolder = 7,
  kColor = 8,
};

enum class ControlParity : std::int32_t {
  kAny = 0,
  kOdd = 1,
  kEven = 2,
};

// The kind whose text equals `text` exactly; 0 for any other text. `text` must not be null.
ZELPH_CHAIN_API ControlKind StringToControlKind(const char* text);
// The kind's text; "unknown" outside 1..8.
ZELPH_CHAIN_API std::string ControlKindToString(ControlKind kind);

// One item of an enumeration control.
struct ZELPH_CHAIN_API BaseEnumValue {
  BaseEnumValue() = default;
  BaseEnumValue(const std::string& value, const std::string& caption);
  BaseEnumValue(const BaseEnumValue&) = default;
  BaseEnumValue& operator=(const BaseEnumValue&) = default;
  virtual ~BaseEnumValue() = default;

  std::string value;    // what the control takes when this item is chosen
  std::string caption;  // what is shown for it
};

class ZELPH_CHAIN_API BaseControl {
 public:
  BaseControl();
  BaseControl(const BaseControl&) = default;
  BaseControl(BaseControl&&) = default;
  BaseControl& operator=(const BaseControl&) = default;
  BaseControl& operator=(BaseControl&&) = default;
  virtual ~BaseControl() = default;

  bool IsMultiline() const { return multiline_; }
  void SetMultiline(bool multiline) { multiline_ = multiline; }
  int GetEditionRows() const { return edition_rows_; }
  void SetEditionRows(int rows) { edition_rows_ = rows; }
  PropertyValue GetDefault() const { return default_; }
  void SetDefault(PropertyValue value) { default_ = std::move(value); }
  // A process-wide singleton or registered type; never owned.
  const IDataType* GetValueType() const { return value_type_; }
  void SetValueType(const IDataType* type) { value_type_ = type; }
  const std::string GetValueTypeName() const { return value_type_name_; }
  void SetValueTypeName(const std::string& name) { value_type_name_ = name; }
  std::string GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  ControlParity GetParity() const { return parity_; }
  void SetParity(ControlParity parity) { parity_ = parity; }
  ControlKind GetEditionKind() const { return edition_kind_; }
  void SetEditionKind(ControlKind kind) { edition_kind_ = kind; }

  // A bound is present exactly when it is not NaN. SetHasMin(false) drops the bound;
  // SetHasMin(true) leaves it as it is (it does not bring back an earlier value).
  double GetMin() const { return min_; }
  void SetMin(double min) { min_ = min; }
  bool HasMin() const;
  void SetHasMin(bool has);
  double GetMax() const { return max_; }
  void SetMax(double max) { max_ = max; }
  bool HasMax() const;
  void SetHasMax(bool has);

  std::string GetCaption() const { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }
  std::string GetHint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  std::string GetDescription() const { return description_; }
  void SetDescription(const std::string& description) { description_ = description; }
  bool IsResource() const { return resource_; }
  void SetIsResource(bool resource) { resource_ = resource; }
  std::vector<BaseEnumValue> GetValues() const { return values_; }
  void AddValue(BaseEnumValue&& value) { values_.push_back(value); }
  bool IsAdvanced() const { return advanced_; }
  void SetIsAdvanced(bool advanced) { advanced_ = advanced; }
  std::string GetValueClassName() const { return value_class_name_; }
  void SetValueClassName(const std::string& name) { value_class_name_ = name; }
  std::string GetSettingsId() const { return settings_id_; }
  void SetSettingsId(const std::string& id) { settings_id_ = id; }

 private:
  bool multiline_ = false;
  int edition_rows_ = -1;
  PropertyValue default_;
  const IDataType* value_type_;
  std::string value_type_name_;
  std::string name_;
  ControlParity parity_ = ControlParity::kAny;
  ControlKind edition_kind_ = ControlKind::kUnknown;
  double min_;
  double max_;
  std::string caption_;
  std::string hint_;
  std::string description_;
  bool resource_ = false;
  std::vector<BaseEnumValue> values_;
  bool advanced_ = false;
  std::string value_class_name_;
  std::string settings_id_;
};

}  // namespace zelph
