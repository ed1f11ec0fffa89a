// data_type_lookup.cpp
#include "data_type_lookup.h"

#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::descriptions {

const IDataType* FindDataType(const std::string& name) {
  return SimplePluginsManager::GetInstance()->FindDataType(name);
}

}  // namespace zelph::descriptions
