// data_type.h
//
// The data types of everything that flows between workers: an interface IDataType with a
// name and a uuid, a base DataTypeBase, and the fourteen built-in types, each a class with
// one process-wide instance. Types are compared by uuid only, so a type a plug-in
// registers with a built-in uuid counts as that built-in type:
//
//   if (DataTypeMat::Equals(data->GetDataType())) { ... }
//   port.SetDataType(DataTypeFloat::GetInstance());
//
// The instances are built at library load, in the order load_time_objects.cpp gives,
// never destroyed and never changed afterwards, so they are read from any thread without
// locks. The uuids are constant-initialised and part of the external contract (chain
// files and the Java bridge name types by them).
#pragma once

#include <boost/uuid/uuid.hpp>

#include "zelph/chain/export.h"

class ZELPH_CHAIN_API IDataType {
 public:
  virtual ~IDataType() = default;
  virtual const char* GetName() const = 0;
  // Whether `name` names this type, ignoring ASCII case.
  virtual bool IsCompatibleName(const char* name) const = 0;
  virtual bool Equals(const boost::uuids::uuid& uuid) const = 0;
  virtual bool Equals(const IDataType* type) const = 0;
  virtual const boost::uuids::uuid& GetUuid() const = 0;

  bool operator==(const IDataType& other) const { return GetUuid() == other.GetUuid(); }
  bool operator!=(const IDataType& other) const { return !(*this == other); }
  const char* ToString() const { return GetName(); }
};

class ZELPH_CHAIN_API DataTypeBase : public IDataType {
 public:
  // The uuid is copied, so a plug-in's type does not depend on where its uuid lives.
  explicit DataTypeBase(const boost::uuids::uuid& uuid);
  ~DataTypeBase() override;
  DataTypeBase(const DataTypeBase&) = delete;
  DataTypeBase& operator=(const DataTypeBase&) = delete;

  // Not thread-safe: only while the type is being built. A null name leaves none.
  void SetName(const char* name);

  const char* GetName() const override;  // "" when there is no name
  bool IsCompatibleName(const char* name) const override;
  bool Equals(const boost::uuids::uuid& uuid) const override;
  bool Equals(const IDataType* type) const override;  // `type` must not be null
  const boost::uuids::uuid& GetUuid() const override;

  // True for scalar, String, int, float, long, double, short and boolean (by uuid).
  static bool IsScalar(const IDataType* type);

 private:
  boost::uuids::uuid uuid_;
  char* name_ = nullptr;
};

// Frees `target`, then stores a heap copy of `source` in it (null for a null source) and
// returns the copy. On allocation failure it reports on standard error and returns null.
namespace zelph {
ZELPH_CHAIN_API const char* StrCpy(char*& target, const char* source);
}  // namespace zelph

// Declares one built-in type: a class of statics only, with its uuid, its instance and
// Equals tests by uuid. (The instance itself is a DataTypeBase made in data_type.cpp; the
// virtual Equals is reached through IDataType.) Extra members go in the variadic part.
#define ZELPH_BUILT_IN_DATA_TYPE(ClassName, ...)                                       \
  class ZELPH_CHAIN_API ClassName final {                                              \
   public:                                                                             \
    ClassName() = delete;                                                              \
    static const boost::uuids::uuid s_uid_;                                            \
    /* Built on first use; load_time_objects.cpp makes that happen at library load. */ \
    static IDataType* GetInstance();                                                   \
    /* `type` must not be null. */                                                     \
    static bool Equals(const IDataType* type) { return type->GetUuid() == s_uid_; }    \
    static bool Equals(const boost::uuids::uuid& uuid) { return uuid == s_uid_; }      \
    __VA_ARGS__                                                                        \
  }

// Names are matched ignoring ASCII case. Aliases: boolean "bool"; int "int32", "integer";
// long "int64"; short "int16"; scalar accepts "scalar", "settings", "String", "str";
// String accepts "String", "str".
ZELPH_BUILT_IN_DATA_TYPE(DataTypeBool);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeByte);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeContours);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeDouble);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeDWord8u4);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeFloat);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeInt32);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeInt64);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeMat);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeNull);
// The names of the two dimensions of a number block.
ZELPH_BUILT_IN_DATA_TYPE(DataTypeNumbers, static const char* const block_length;
                         static const char* const block_count;);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeScalar);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeShort);
ZELPH_BUILT_IN_DATA_TYPE(DataTypeStr);

#undef ZELPH_BUILT_IN_DATA_TYPE
