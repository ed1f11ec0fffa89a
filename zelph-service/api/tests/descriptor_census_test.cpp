// descriptor_census_test.cpp
//
// The shape of the schema as the generated descriptors register it: files, options, imports,
// message order, unused field numbers, totals, and the service's method table.
#include <google/protobuf/descriptor.h>
#include <google/protobuf/descriptor.pb.h>
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "api_methods.h"
#include "message/ZelphServiceApiV2.grpc.pb.h"
#include "message/datatype/datatype.pb.h"

namespace zelph {
namespace {

using google::protobuf::Descriptor;
using google::protobuf::DescriptorPool;
using google::protobuf::FileDescriptor;

constexpr char kEnumsFile[] = "message/enums/enums.proto";
constexpr char kDatatypeFile[] = "message/datatype/datatype.proto";

// Methods whose files import the shared value messages; the others import nothing.
const std::set<std::string> kMethodsWithValues = {"GetList",
                                                  "Exists",
                                                  "SetData",
                                                  "GetListEx",
                                                  "GetProjectConfiguration",
                                                  "UploadProjectConfiguration",
                                                  "UploadProject",
                                                  "GetProjectConfigurationSettings",
                                                  "GetData"};

struct Census {
  int messages = 0;
  int fields = 0;
  int enums = 0;
};

void CountMessage(const Descriptor& message, Census& census) {
  ++census.messages;
  census.fields += message.field_count();
  census.enums += message.enum_type_count();
  EXPECT_EQ(message.options().ByteSizeLong(), 0u) << message.full_name();
  for (int i = 0; i < message.field_count(); ++i) {
    EXPECT_EQ(message.field(i)->options().ByteSizeLong(), 0u) << message.field(i)->full_name();
  }
  for (int i = 0; i < message.nested_type_count(); ++i) {
    CountMessage(*message.nested_type(i), census);
  }
}

const FileDescriptor& FindFile(const std::string& name) {
  const FileDescriptor* file = DescriptorPool::generated_pool()->FindFileByName(name);
  if (file == nullptr) throw std::runtime_error("not registered: " + name);
  return *file;
}

std::vector<std::string> Imports(const FileDescriptor& file) {
  std::vector<std::string> names;
  for (int i = 0; i < file.dependency_count(); ++i) names.push_back(file.dependency(i)->name());
  return names;
}

TEST(DescriptorCensusTest, TwentyFilesWithTheirOptionsImportsAndTotals) {
  struct Expected {
    std::string file;
    std::string folder;
    std::vector<std::string> imports;
  };
  std::vector<Expected> files = {{kEnumsFile, "enums", {}},
                                 {kDatatypeFile, "datatype", {kEnumsFile}}};
  for (auto method : testing::kApiMethods) {
    const std::string name(method);
    files.push_back({"message/rqrs2/" + name + ".proto", "rqrs2",
                     kMethodsWithValues.count(name) ? std::vector<std::string>{kDatatypeFile}
                                                    : std::vector<std::string>{}});
  }

  Census census;
  for (const auto& expected : files) {
    SCOPED_TRACE(expected.file);
    const FileDescriptor& file = FindFile(expected.file);
    EXPECT_EQ(file.syntax(), FileDescriptor::SYNTAX_PROTO3);
    EXPECT_EQ(file.package(), "zelph");
    EXPECT_EQ(Imports(file), expected.imports);
    EXPECT_EQ(file.service_count(), 0);
    EXPECT_EQ(file.extension_count(), 0);

    google::protobuf::FileOptions only_two;
    only_two.set_java_package("com.qoral.zelph.grpc.message." + expected.folder);
    only_two.set_java_multiple_files(true);
    EXPECT_EQ(file.options().SerializeAsString(), only_two.SerializeAsString());

    census.enums += file.enum_type_count();
    for (int i = 0; i < file.message_type_count(); ++i) {
      CountMessage(*file.message_type(i), census);
    }
  }
  EXPECT_EQ(census.messages, 71);
  EXPECT_EQ(census.fields, 223);
  EXPECT_EQ(census.enums, 11);
}

TEST(DescriptorCensusTest, DeclarationOrder) {
  const std::vector<std::string> value_messages = {"GFile",
                                                   "GChain",
                                                   "GDataProcess",
                                                   "GDataProcessModel",
                                                   "GDataProcessPort",
                                                   "GDataType",
                                                   "GHeaderEmpty",
                                                   "GHeaderMat",
                                                   "GHeaderNumbers",
                                                   "GHeaderScalar",
                                                   "GImage",
                                                   "GImageChannel",
                                                   "GLink",
                                                   "GPortDataScalar",
                                                   "GProperty",
                                                   "GStatistic",
                                                   "GTime",
                                                   "GUUID",
                                                   "GNumbers",
                                                   "GMat",
                                                   "GScalar",
                                                   "GItem",
                                                   "GControl",
                                                   "GSettingNode",
                                                   "GSettings",
                                                   "GPort",
                                                   "GModel",
                                                   "GExecutionStatus",
                                                   "GWorker",
                                                   "GSolutionApp",
                                                   "GSolutionTemplate",
                                                   "GErrorInfo",
                                                   "GAnyData",
                                                   "GResourceFilter",
                                                   "GResourceInfo"};
  const FileDescriptor& datatype = FindFile(kDatatypeFile);
  std::vector<std::string> declared;
  for (int i = 0; i < datatype.message_type_count(); ++i) {
    declared.push_back(datatype.message_type(i)->name());
  }
  EXPECT_EQ(declared, value_messages);
  EXPECT_EQ(GImage::descriptor()->enum_type(0)->name(), "GImageFormat");
  EXPECT_EQ(GImage::descriptor()->enum_type(1)->name(), "GColorSpace");

  for (auto method : testing::kApiMethods) {
    const std::string name(method);
    const FileDescriptor& file = FindFile("message/rqrs2/" + name + ".proto");
    ASSERT_EQ(file.message_type_count(), 2) << name;
    EXPECT_EQ(file.message_type(0)->name(), name + "Request");
    EXPECT_EQ(file.message_type(1)->name(), name + "Response");
  }
}

TEST(DescriptorCensusTest, UnusedFieldNumbersStayUnused) {
  const struct {
    const Descriptor* message;
    int unused;
  } kGaps[] = {{GImage::descriptor(), 1},
               {GProperty::descriptor(), 2},
               {GModel::descriptor(), 8},
               {LoadSolutionTemplateRequest::descriptor(), 2}};
  for (const auto& gap : kGaps) {
    EXPECT_EQ(gap.message->FindFieldByNumber(gap.unused), nullptr) << gap.message->name();
    EXPECT_NE(gap.message->FindFieldByNumber(gap.unused + 1), nullptr) << gap.message->name();
  }
}

TEST(DescriptorCensusTest, ServiceDeclaresTheEighteenUnaryMethodsInOrder) {
  const auto* service =
      DescriptorPool::generated_pool()->FindServiceByName(ZelphServiceApiV2::service_full_name());
  ASSERT_NE(service, nullptr);
  ASSERT_EQ(service->method_count(), static_cast<int>(testing::kApiMethods.size()));
  for (int i = 0; i < service->method_count(); ++i) {
    const auto* method = service->method(i);
    const std::string name(testing::kApiMethods[i]);
    EXPECT_EQ(method->name(), name);
    EXPECT_EQ(method->input_type()->full_name(), "zelph." + name + "Request");
    EXPECT_EQ(method->output_type()->full_name(), "zelph." + name + "Response");
    EXPECT_FALSE(method->client_streaming() || method->server_streaming()) << name;
  }
}

}  // namespace
}  // namespace zelph
