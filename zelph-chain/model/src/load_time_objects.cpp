// load_time_objects.cpp
//
// Every object zelph-chain builds when the library is loaded, in the one order the rest of
// the system relies on. Definitions in one translation unit are initialised top to
// bottom, so this file is the only place that order is decided; add new load-time objects
// here, at their place in the list, never as namespace-scope statics in other files:
//
//   1. the fourteen built-in data types, in the alphabetical order of their classes;
//   2. the process-wide event-bus map (built on first use and never destroyed, so no
//      load order can reach it before it exists);
//   3. the plug-in manager, which creates the configuration;
//   4. the shared empty port data: matrix, numbers, scalar.
//
// The data types, the plug-in manager and the configuration are never destroyed; the
// empty port data objects are released at process exit.
#include <memory>

#include "zelph/model/data_type.h"
#include "zelph/model/port_data_mat.h"
#include "zelph/model/port_data_numbers.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace {

// 1. The data types build themselves on first use (so a caller that runs earlier still
// finds them); touching them here fixes their creation at load, in this order.
[[maybe_unused]] const bool data_types_built = [] {
  for (auto get_instance :
       {&DataTypeBool::GetInstance, &DataTypeByte::GetInstance, &DataTypeContours::GetInstance,
        &DataTypeDouble::GetInstance, &DataTypeDWord8u4::GetInstance, &DataTypeFloat::GetInstance,
        &DataTypeInt32::GetInstance, &DataTypeInt64::GetInstance, &DataTypeMat::GetInstance,
        &DataTypeNull::GetInstance, &DataTypeNumbers::GetInstance, &DataTypeScalar::GetInstance,
        &DataTypeShort::GetInstance, &DataTypeStr::GetInstance}) {
    get_instance();
  }
  return true;
}();

// 3. The plug-in manager, and with it the configuration.
[[maybe_unused]] SimplePluginsManager* const plugins_manager = SimplePluginsManager::GetInstance();

}  // namespace

// 4. The shared empty port data.
std::shared_ptr<PortDataMat> PortDataMat::empty = std::make_shared<PortDataMat>();
std::shared_ptr<PortDataNumbers> PortDataNumbers::empty = std::make_shared<PortDataNumbers>();
std::shared_ptr<PortDataScalar> PortDataScalar::empty = std::make_shared<PortDataScalar>();
