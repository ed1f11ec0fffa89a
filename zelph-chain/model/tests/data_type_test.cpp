// data_type_test.cpp
//
// The built-in data types: golden names and uuids, name matching, scalar tests, uuid helpers.
#include "zelph/model/data_type.h"

#include <gtest/gtest.h>

#include <boost/uuid/string_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <set>
#include <string>

#include "zelph/model/uuid.h"

namespace zelph {
namespace {

struct TypeCase {
  IDataType* type;
  const char* name;
  const char* uuid;
  bool scalar;
};

const TypeCase kTypes[] = {
    {DataTypeBool::GetInstance(), "boolean", "dda3ce3a-f0f3-4f7b-bf93-b7422fba107a", true},
    {DataTypeByte::GetInstance(), "byte", "9688f18f-fef8-456a-82d2-134a3650aa04", false},
    {DataTypeContours::GetInstance(), "contours", "b573e687-1b91-4db7-bac1-74b3e95c0944", false},
    {DataTypeDouble::GetInstance(), "double", "c532b58d-72c9-43cf-b639-4ff55d21ddcc", true},
    {DataTypeDWord8u4::GetInstance(), "dword8u4", "d50d3aac-47ab-47d0-8c74-0823abdabe83", false},
    {DataTypeFloat::GetInstance(), "float", "f3fb82c3-a629-4222-8aff-92f70570befb", true},
    {DataTypeInt32::GetInstance(), "int", "80a49a6b-0b8f-43ae-a58c-1b2096e2bfc7", true},
    {DataTypeInt64::GetInstance(), "long", "eea00dae-3e97-4396-82a0-27ca2407c94c", true},
    {DataTypeMat::GetInstance(), "mat", "031fc202-0193-4933-ab2e-d81492ce67e0", false},
    {DataTypeNull::GetInstance(), "null", "fc9a5a26-db83-4a11-8bd6-329988b8cb1f", false},
    {DataTypeNumbers::GetInstance(), "numbers", "c72a2a31-75ba-4e09-a02b-a9cbc4ac62d2", false},
    {DataTypeScalar::GetInstance(), "scalar", "869bc442-bd01-4094-afc1-783b9ed1c24e", true},
    {DataTypeShort::GetInstance(), "short", "165c36f2-85b0-44f8-93ce-deb7c38b4a7c", true},
    {DataTypeStr::GetInstance(), "String", "911aa84c-a2d4-410f-beec-b265a17ee316", true},
};

TEST(DataTypeTest, GoldenNamesUuidsAndScalarness) {
  std::set<std::string> uuids;
  for (const auto& c : kTypes) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.type, nullptr);
    EXPECT_STREQ(c.type->GetName(), c.name);
    EXPECT_STREQ(c.type->ToString(), c.name);
    EXPECT_EQ(boost::uuids::to_string(c.type->GetUuid()), c.uuid);
    EXPECT_TRUE(c.type->Equals(boost::uuids::string_generator()(c.uuid)));
    EXPECT_EQ(DataTypeBase::IsScalar(c.type), c.scalar);
    uuids.insert(c.uuid);
  }
  EXPECT_EQ(uuids.size(), 14u);
}

TEST(DataTypeTest, NamesMatchIgnoringAsciiCase) {
  struct Case {
    IDataType* type;
    const char* name;
    bool accepted;
  };
  const Case cases[] = {
      {DataTypeInt32::GetInstance(), "INTEGER", true},
      {DataTypeInt32::GetInstance(), "Int32", true},
      {DataTypeInt32::GetInstance(), "int ", false},
      {DataTypeInt32::GetInstance(), "in", false},
      {DataTypeBool::GetInstance(), "bool", true},
      {DataTypeBool::GetInstance(), "BOOLEAN", true},
      {DataTypeInt64::GetInstance(), "int64", true},
      {DataTypeShort::GetInstance(), "INT16", true},
      {DataTypeScalar::GetInstance(), "String", true},
      {DataTypeScalar::GetInstance(), "str", true},
      {DataTypeScalar::GetInstance(), "settings", true},
      {DataTypeScalar::GetInstance(), "scalar", true},
      {DataTypeStr::GetInstance(), "STRING", true},
      {DataTypeStr::GetInstance(), "str", true},
      {DataTypeStr::GetInstance(), "settings", false},
      {DataTypeStr::GetInstance(), "scalar", false},
      {DataTypeMat::GetInstance(), "MAT", true},
      {DataTypeMat::GetInstance(), "", false},
      {DataTypeMat::GetInstance(), nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type->GetName()) + " / " + (c.name ? c.name : "(null)"));
    EXPECT_EQ(c.type->IsCompatibleName(c.name), c.accepted);
  }
}

TEST(DataTypeTest, ComparesByUuidOnly) {
  EXPECT_TRUE(DataTypeMat::Equals(DataTypeMat::GetInstance()));
  EXPECT_FALSE(DataTypeMat::Equals(DataTypeNumbers::GetInstance()));
  EXPECT_EQ(DataTypeMat::GetInstance(), DataTypeMat::GetInstance());

  DataTypeBase foreign(DataTypeFloat::s_uid_);
  EXPECT_TRUE(foreign == *DataTypeFloat::GetInstance());
  EXPECT_FALSE(foreign != *DataTypeFloat::GetInstance());
  EXPECT_TRUE(DataTypeBase::IsScalar(&foreign));
  EXPECT_TRUE(DataTypeFloat::Equals(&foreign));
  EXPECT_STREQ(foreign.GetName(), "");
  EXPECT_STREQ(foreign.ToString(), "");
  EXPECT_FALSE(foreign.IsCompatibleName(""));

  foreign.SetName("Vector");
  EXPECT_TRUE(foreign.IsCompatibleName("vECTOR"));
  foreign.SetName(nullptr);
  EXPECT_STREQ(foreign.GetName(), "");
}

TEST(DataTypeTest, StrCpyReplacesAndFreesTarget) {
  char* target = nullptr;
  EXPECT_STREQ(StrCpy(target, "abc"), "abc");
  EXPECT_STREQ(StrCpy(target, "de"), "de");  // the old copy is freed (checked by ASan)
  EXPECT_EQ(StrCpy(target, nullptr), nullptr);
  EXPECT_EQ(target, nullptr);
}

TEST(UuidTest, NewUuidsAreRandomVersion4AndConstantTextsRoundTrip) {
  const boost::uuids::uuid a = NewUuid();
  EXPECT_NE(a, NewUuid());
  EXPECT_EQ(a.version(), boost::uuids::uuid::version_random_number_based);
  EXPECT_EQ(NewUuidText().size(), 36u);
  constexpr boost::uuids::uuid fixed = UuidFromText("00112233-4455-6677-8899-AABBCCDDEEFF");
  EXPECT_EQ(boost::uuids::to_string(fixed), "00112233-4455-6677-8899-aabbccddeeff");
}

}  // namespace
}  // namespace zelph
