// data_type.cpp
//
// The built-in data types: uuids (constant-initialised), names, alias lists, and the
// construct-on-first-use instances.
#include "zelph/model/data_type.h"

#include <cstring>
#include <initializer_list>
#include <iostream>
#include <new>
#include <vector>

#include "zelph/model/uuid.h"

namespace {

bool EqualsIgnoreAsciiCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return false;
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    char ca = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
    char cb = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

bool MatchesAny(const char* name, const std::vector<const char*>& accepted) {
  for (const char* candidate : accepted) {
    if (EqualsIgnoreAsciiCase(name, candidate)) return true;
  }
  return false;
}

}  // namespace

const char* zelph::StrCpy(char*& target, const char* source) {
  delete[] target;
  target = nullptr;
  if (source == nullptr) return nullptr;
  try {
    const size_t length = std::strlen(source) + 1;
    char* copy = new char[length];
    std::memcpy(copy, source, length);
    target = copy;
  } catch (const std::exception& e) {
    std::cerr << "zelph::StrCpy " << e.what() << '\n';
  }
  return target;
}

DataTypeBase::DataTypeBase(const boost::uuids::uuid& uuid) : uuid_(uuid) {}

DataTypeBase::~DataTypeBase() { delete[] name_; }

void DataTypeBase::SetName(const char* name) { zelph::StrCpy(name_, name); }

const char* DataTypeBase::GetName() const { return name_ ? name_ : ""; }

bool DataTypeBase::IsCompatibleName(const char* name) const {
  return name_ != nullptr && EqualsIgnoreAsciiCase(name, name_);
}

bool DataTypeBase::Equals(const boost::uuids::uuid& uuid) const { return uuid == uuid_; }

bool DataTypeBase::Equals(const IDataType* type) const { return type->GetUuid() == uuid_; }

const boost::uuids::uuid& DataTypeBase::GetUuid() const { return uuid_; }

bool DataTypeBase::IsScalar(const IDataType* type) {
  return DataTypeScalar::Equals(type) || DataTypeStr::Equals(type) || DataTypeInt32::Equals(type) ||
         DataTypeFloat::Equals(type) || DataTypeInt64::Equals(type) ||
         DataTypeDouble::Equals(type) || DataTypeShort::Equals(type) || DataTypeBool::Equals(type);
}

namespace {

// The instance of a built-in type: its name plus a fixed list of other accepted names.
class BuiltInDataType final : public DataTypeBase {
 public:
  BuiltInDataType(const boost::uuids::uuid& uuid, const char* name, bool acceptsOwnName,
                  std::initializer_list<const char*> aliases)
      : DataTypeBase(uuid), accepts_own_name_(acceptsOwnName), aliases_(aliases) {
    SetName(name);
  }

  bool IsCompatibleName(const char* name) const override {
    return (accepts_own_name_ && DataTypeBase::IsCompatibleName(name)) ||
           MatchesAny(name, aliases_);
  }

 private:
  bool accepts_own_name_;
  std::vector<const char*> aliases_;  // string literals: static storage
};

}  // namespace

// One definition per built-in type. The instance is a function-local static, so it exists
// before its first use whatever the order of static initialisers in other files; it is
// never deleted (other libraries and exit-time code may still hold it).
#define ZELPH_DEFINE_DATA_TYPE(ClassName, uuidText, name, acceptsOwnName, ...) \
  const boost::uuids::uuid ClassName::s_uid_ = zelph::UuidFromText(uuidText);  \
  IDataType* ClassName::GetInstance() {                                        \
    static IDataType* const instance =                                         \
        new BuiltInDataType(s_uid_, name, acceptsOwnName, {__VA_ARGS__});      \
    return instance;                                                           \
  }

ZELPH_DEFINE_DATA_TYPE(DataTypeBool, "dda3ce3a-f0f3-4f7b-bf93-b7422fba107a", "boolean", true,
                       "bool")
ZELPH_DEFINE_DATA_TYPE(DataTypeByte, "9688f18f-fef8-456a-82d2-134a3650aa04", "byte", true)
ZELPH_DEFINE_DATA_TYPE(DataTypeContours, "b573e687-1b91-4db7-bac1-74b3e95c0944", "contours", true)
ZELPH_DEFINE_DATA_TYPE(DataTypeDouble, "c532b58d-72c9-43cf-b639-4ff55d21ddcc", "double", true)
ZELPH_DEFINE_DATA_TYPE(DataTypeDWord8u4, "d50d3aac-47ab-47d0-8c74-0823abdabe83", "dword8u4", true)
ZELPH_DEFINE_DATA_TYPE(DataTypeFloat, "f3fb82c3-a629-4222-8aff-92f70570befb", "float", true)
ZELPH_DEFINE_DATA_TYPE(DataTypeInt32, "80a49a6b-0b8f-43ae-a58c-1b2096e2bfc7", "int", true, "int32",
                       "integer")
ZELPH_DEFINE_DATA_TYPE(DataTypeInt64, "eea00dae-3e97-4396-82a0-27ca2407c94c", "long", true, "int64")
ZELPH_DEFINE_DATA_TYPE(DataTypeMat, "031fc202-0193-4933-ab2e-d81492ce67e0", "mat", true)
ZELPH_DEFINE_DATA_TYPE(DataTypeNull, "fc9a5a26-db83-4a11-8bd6-329988b8cb1f", "null", true)
ZELPH_DEFINE_DATA_TYPE(DataTypeNumbers, "c72a2a31-75ba-4e09-a02b-a9cbc4ac62d2", "numbers", true)
// The scalar and String lists are fixed: they do not consult the name field.
ZELPH_DEFINE_DATA_TYPE(DataTypeScalar, "869bc442-bd01-4094-afc1-783b9ed1c24e", "scalar", false,
                       "scalar", "settings", "String", "str")
ZELPH_DEFINE_DATA_TYPE(DataTypeShort, "165c36f2-85b0-44f8-93ce-deb7c38b4a7c", "short", true,
                       "int16")
ZELPH_DEFINE_DATA_TYPE(DataTypeStr, "911aa84c-a2d4-410f-beec-b265a17ee316", "String", false,
                       "String", "str")

#undef ZELPH_DEFINE_DATA_TYPE

const char* const DataTypeNumbers::block_length = "block_length";
const char* const DataTypeNumbers::block_count = "block_count";
