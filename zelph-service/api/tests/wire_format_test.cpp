// wire_format_test.cpp
//
// The bytes that clients see: what the API messages write, and what they make of bytes that
// other clients (older ones, other languages) may send.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "message/datatype/datatype.pb.h"
#include "message/rqrs2/CreateSession.pb.h"
#include "message/rqrs2/ExecuteCommand.pb.h"
#include "message/rqrs2/GetList.pb.h"
#include "message/rqrs2/LoadSolutionTemplate.pb.h"
#include "message/rqrs2/SetData.pb.h"
#include "message/rqrs2/UpdateLink.pb.h"
#include "message/rqrs2/UploadProjectConfiguration.pb.h"

namespace zelph {
namespace {

using google::protobuf::Message;

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    if (!hex.empty()) hex += ' ';
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xf];
  }
  return hex;
}

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 3) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

using Builder = std::function<std::unique_ptr<Message>()>;
using Check = std::function<bool(const Message&)>;

template <typename T, typename Fill>
Builder Build(Fill fill) {
  return [fill] {
    auto message = std::make_unique<T>();
    fill(*message);
    return message;
  };
}

template <typename T>
Builder Empty() {
  return [] { return std::make_unique<T>(); };
}

template <typename T, typename Predicate>
Check Holds(Predicate predicate) {
  return [predicate](const Message& message) { return predicate(static_cast<const T&>(message)); };
}

struct EncodeCase {
  std::string_view name;
  Builder build;
  std::string_view hex;
};

const EncodeCase kEncodeCases[] = {
    {"url alone", Build<GAnyData>([](GAnyData& m) { m.set_url("/s"); }), "0a 02 2f 73"},
    {"oneof int32 of 0 is written", Build<GAnyData>([](GAnyData& m) { m.set_int32_val(0); }),
     "20 00"},
    {"oneof bool false is written", Build<GAnyData>([](GAnyData& m) { m.set_bool_val(false); }),
     "18 00"},
    {"oneof empty string is written", Build<GAnyData>([](GAnyData& m) { m.set_string_val(""); }),
     "32 00"},
    {"empty template member", Build<GAnyData>([](GAnyData& m) { m.mutable_template_(); }), "7a 00"},
    {"member 18 takes a two-byte tag",
     Build<GAnyData>([](GAnyData& m) { m.mutable_execution_status(); }), "92 01 00"},
    {"scalar double member is field 4",
     Build<GPortDataScalar>([](GPortDataScalar& m) { m.set_double_val(0.0); }),
     "21 00 00 00 00 00 00 00 00"},
    {"scalar int64 member is field 3",
     Build<GPortDataScalar>([](GPortDataScalar& m) { m.set_int64_val(1); }), "18 01"},
    {"plain double 0.0 is not written",
     Build<GImageChannel>([](GImageChannel& m) { m.set_min_val(0.0); }), ""},
    {"plain double NaN is written", Build<GImageChannel>([](GImageChannel& m) {
       m.set_min_val(std::numeric_limits<double>::quiet_NaN());
     }),
     "09 00 00 00 00 00 00 f8 7f"},
    {"dims are packed", Build<GMat>([](GMat& m) {
       m.add_dims(5);
       m.add_dims(7);
     }),
     "1a 02 05 07"},
    {"matrix without dims or buffer", Build<GMat>([](GMat& m) { m.set_channels(1); }), "10 01"},
    {"model optional flags are packed", Build<GModel>([](GModel& m) {
       m.add_optional(8);
       m.add_optional(1);
     }),
     "6a 02 08 01"},
    {"model fields 16 and 17 take two-byte tags", Build<GModel>([](GModel& m) {
       m.set_execution_stage(kRunTime);
       m.set_role_name("r");
     }),
     "80 01 02 8a 01 01 72"},
    {"kOk is not written",
     Build<ExecuteCommandResponse>([](ExecuteCommandResponse& m) { m.set_status(kOk); }), ""},
    {"kCancelled",
     Build<ExecuteCommandResponse>([](ExecuteCommandResponse& m) { m.set_status(kCancelled); }),
     "08 01"},
    {"repeated urls keep order and duplicates, then the command",
     Build<ExecuteCommandRequest>([](ExecuteCommandRequest& m) {
       m.add_url("a");
       m.add_url("a");
       m.set_command(kEvaluateAsync);
     }),
     "0a 01 61 0a 01 61 10 01"},
    {"absent resource filter", Empty<GetListRequest>(), ""},
    {"empty resource filter is present",
     Build<GetListRequest>([](GetListRequest& m) { m.mutable_resource_filter(); }), "12 00"},
    {"resource filter with a time", Build<GetListRequest>([](GetListRequest& m) {
       m.mutable_resource_filter()->set_modified_after(5);
     }),
     "12 02 08 05"},
    {"CreateSessionResponse has no fields", Empty<CreateSessionResponse>(), ""},
    {"SetDataResponse has no fields", Empty<SetDataResponse>(), ""},
    {"UploadProjectConfigurationResponse has no fields",
     Empty<UploadProjectConfigurationResponse>(), ""},
    {"UpdateLinkResponse has no fields", Empty<UpdateLinkResponse>(), ""},
};

TEST(WireFormatTest, Encodes) {
  for (const auto& c : kEncodeCases) {
    SCOPED_TRACE(c.name);
    const auto message = c.build();
    EXPECT_EQ(ToHex(message->SerializeAsString()), c.hex);
  }
}

struct DecodeCase {
  std::string_view name;
  const Message& prototype;
  std::string_view input_hex;
  bool parses;
  std::string_view written_back_hex;
  Check holds;
};

const DecodeCase kDecodeCases[] = {
    {"oneof int32 of 0", GAnyData::default_instance(), "20 00", true, "20 00",
     Holds<GAnyData>([](const GAnyData& m) {
       return m.value_case() == GAnyData::kInt32Val && m.int32_val() == 0;
     })},
    {"a later oneof member replaces the earlier", GAnyData::default_instance(), "20 05 32 01 78",
     true, "32 01 78", Holds<GAnyData>([](const GAnyData& m) {
       return m.value_case() == GAnyData::kStringVal && m.string_val() == "x";
     })},
    {"unlisted depth is kept", GMat::default_instance(), "08 07", true, "08 07",
     Holds<GMat>([](const GMat& m) { return m.depth() == 7; })},
    {"unpacked dims are read and written packed", GMat::default_instance(), "18 05 18 07", true,
     "1a 02 05 07",
     Holds<GMat>([](const GMat& m) { return m.dims_size() == 2 && m.dims(1) == 7; })},
    {"unpacked optional flags are read and written packed", GModel::default_instance(),
     "68 08 68 01", true, "6a 02 08 01",
     Holds<GModel>([](const GModel& m) { return m.optional_size() == 2 && m.optional(0) == 8; })},
    {"unused number 8 of GModel is kept", GModel::default_instance(), "40 01", true, "40 01",
     Holds<GModel>([](const GModel& m) {
       return m.GetReflection()->GetUnknownFields(m).field_count() == 1;
     })},
    {"unused number 1 of GImage is kept", GImage::default_instance(), "08 05", true, "08 05",
     nullptr},
    {"unused number 2 of GProperty is kept", GProperty::default_instance(), "10 05", true, "10 05",
     Holds<GProperty>(
         [](const GProperty& m) { return m.value_case() == GProperty::VALUE_NOT_SET; })},
    {"unlisted port kind is kept", GPort::default_instance(), "28 07", true, "28 07",
     Holds<GPort>([](const GPort& m) { return m.port_kind() == 7; })},
    {"empty resource filter is present", GetListRequest::default_instance(), "12 00", true, "12 00",
     Holds<GetListRequest>([](const GetListRequest& m) {
       return m.has_resource_filter() && m.resource_filter().modified_after() == 0;
     })},
    {"no resource filter is absent", GetListRequest::default_instance(), "", true, "",
     Holds<GetListRequest>([](const GetListRequest& m) { return !m.has_resource_filter(); })},
    {"unlisted command is kept", ExecuteCommandRequest::default_instance(), "10 09", true, "10 09",
     Holds<ExecuteCommandRequest>([](const ExecuteCommandRequest& m) { return m.command() == 9; })},
    {"kCancelled", ExecuteCommandResponse::default_instance(), "08 01", true, "08 01",
     Holds<ExecuteCommandResponse>(
         [](const ExecuteCommandResponse& m) { return m.status() == kCancelled; })},
    {"template request: fields 1 and 3, field 2 kept unlisted",
     LoadSolutionTemplateRequest::default_instance(), "0a 01 70 12 01 78 1a 01 74", true,
     "0a 01 70 1a 01 74 12 01 78",
     Holds<LoadSolutionTemplateRequest>([](const LoadSolutionTemplateRequest& m) {
       return m.project_url() == "p" && m.solution_template_id() == "t";
     })},
    {"invalid UTF-8 in a string field", GAnyData::default_instance(), "0a 01 ff", false, "",
     nullptr},
    {"any bytes in a bytes member", GAnyData::default_instance(), "4a 01 ff", true, "4a 01 ff",
     Holds<GAnyData>([](const GAnyData& m) { return m.buffer() == "\xff"; })},
    {"any bytes in file data", GFile::default_instance(), "0a 01 ff", true, "0a 01 ff", nullptr},
    {"invalid UTF-8 in file path", GFile::default_instance(), "12 01 ff", false, "", nullptr},
};

TEST(WireFormatTest, Decodes) {
  for (const auto& c : kDecodeCases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Message> message(c.prototype.New());
    ASSERT_EQ(message->ParseFromString(FromHex(c.input_hex)), c.parses);
    if (!c.parses) continue;
    if (c.holds) {
      EXPECT_TRUE(c.holds(*message));
    }
    EXPECT_EQ(ToHex(message->SerializeAsString()), c.written_back_hex);
  }
}

}  // namespace
}  // namespace zelph
