// data_type_lookup.cpp
//
// Stand-in for the plug-in manager's table until it is part of this library: the twelve
// built-in types the manager registers, in its order (ascending uuid).
#include "data_type_lookup.h"

#include <algorithm>
#include <vector>

namespace zelph::descriptions {

namespace {

std::vector<const IDataType*> RegisteredTypes() {
  std::vector<const IDataType*> types = {
      DataTypeBool::GetInstance(),   DataTypeByte::GetInstance(),  DataTypeDouble::GetInstance(),
      DataTypeFloat::GetInstance(),  DataTypeInt32::GetInstance(), DataTypeInt64::GetInstance(),
      DataTypeMat::GetInstance(),    DataTypeNull::GetInstance(),  DataTypeNumbers::GetInstance(),
      DataTypeScalar::GetInstance(), DataTypeShort::GetInstance(), DataTypeStr::GetInstance()};
  std::sort(types.begin(), types.end(),
            [](const IDataType* a, const IDataType* b) { return a->GetUuid() < b->GetUuid(); });
  return types;
}

}  // namespace

const IDataType* FindDataType(const std::string& name) {
  static const std::vector<const IDataType*> types = RegisteredTypes();
  for (const IDataType* type : types) {
    if (type->IsCompatibleName(name.c_str())) return type;
  }
  return nullptr;
}

}  // namespace zelph::descriptions
