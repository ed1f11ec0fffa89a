// bad_input_test.cpp
//
// Requests that no well-behaved client sends, to every method of the served service:
// malformed URLs, bytes that are no request or a cut one, JSON texts nested too deep or far
// too large, values of the wrong kind for their target and matrices whose sizes disagree.
// Each is answered with a status, the server goes on serving, and a project loaded before
// (the witness, never named by a bad request) is evaluated afterwards as it was before.
#include <fmt/format.h>
#include <google/protobuf/descriptor.h>
#include <google/protobuf/dynamic_message.h>
#include <grpcpp/generic/generic_stub.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "api_methods.h"
#include "service_harness.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {
namespace {

using google::protobuf::FieldDescriptor;
using google::protobuf::Message;

// Replies quote at most 256 bytes of what the client sent; anything near a request's size
// means that a request was echoed back.
constexpr size_t kLongestStatusMessage = 2048;

// The request as bytes, sent to a method's path: what the generated stub cannot send.
class RawClient {
 public:
  explicit RawClient(std::shared_ptr<grpc::Channel> channel) : stub_(std::move(channel)) {}

  grpc::Status Call(const std::string& method_path, const std::string& bytes) {
    grpc::Slice slice(bytes);
    grpc::ByteBuffer request(&slice, 1);
    grpc::ByteBuffer response;
    grpc::ClientContext context;
    context.set_deadline(std::chrono::system_clock::now() + ServiceHarness::kCallDeadline);
    std::promise<grpc::Status> done;
    stub_.UnaryCall(&context, method_path, grpc::StubOptions(), &request, &response,
                    [&done](grpc::Status status) { done.set_value(std::move(status)); });
    return done.get_future().get();
  }

 private:
  grpc::GenericStub stub_;
};

// A method of the API: its path and its request type.
struct Method {
  std::string name;
  std::string path;
  const google::protobuf::Descriptor* request;
};

std::vector<Method> ApiMethods() {
  std::vector<Method> methods;
  for (const std::string_view name : kApiMethods) {
    const std::string text(name);
    methods.push_back({text, fmt::format("/{}/{}", ZelphServiceApiV2::service_full_name(), text),
                       google::protobuf::DescriptorPool::generated_pool()->FindMessageTypeByName(
                           "zelph." + text + "Request")});
  }
  return methods;
}

// A request of `method` whose every top-level text field (one element of a repeated one)
// holds `text`.
std::string RequestWithEveryText(const Method& method, const std::string& text) {
  std::unique_ptr<Message> request(
      google::protobuf::MessageFactory::generated_factory()->GetPrototype(method.request)->New());
  const google::protobuf::Reflection* reflection = request->GetReflection();
  for (int i = 0; i < method.request->field_count(); ++i) {
    const FieldDescriptor* field = method.request->field(i);
    if (field->cpp_type() != FieldDescriptor::CPPTYPE_STRING) continue;
    if (field->is_repeated()) {
      reflection->AddString(request.get(), field, text);
    } else {
      reflection->SetString(request.get(), field, text);
    }
  }
  return request->SerializeAsString();
}

// The answer of a server that is still serving: no hang, no dropped connection, no request
// echoed back.
void ExpectAnswered(const grpc::Status& status, const std::string& what) {
  EXPECT_NE(status.error_code(), grpc::StatusCode::DEADLINE_EXCEEDED) << what;
  EXPECT_NE(status.error_code(), grpc::StatusCode::UNAVAILABLE) << what;
  EXPECT_LE(status.error_message().size(), kLongestStatusMessage) << what;
}

GAnyData Matrix(std::vector<std::int64_t> dims, int channels, std::string buffer,
                int depth = kDepth8U) {
  GAnyData value;
  value.set_url("d");
  GMat* mat = value.mutable_mat();
  mat->set_depth(static_cast<GImageDataDepth>(depth));
  mat->set_channels(channels);
  for (const std::int64_t dim : dims) mat->add_dims(dim);
  mat->set_buffer(std::move(buffer));
  return value;
}

GAnyData Numbers(int element_type, int block_length, std::string buffer) {
  GAnyData value;
  value.set_url("d");
  GNumbers* numbers = value.mutable_numbers();
  numbers->set_element_type(static_cast<GElementType>(element_type));
  numbers->set_block_length(block_length);
  numbers->set_buffer(std::move(buffer));
  return value;
}

// Matrices whose buffer cannot hold what their dimensions say; SetData refuses every one.
std::vector<GAnyData> MismatchedMatrices() {
  constexpr std::int64_t kHuge = std::int64_t{1} << 40;
  return {
      Matrix({4, 4}, 1, std::string(15, 'x')),
      Matrix({4, 4}, 3, std::string(16, 'x')),
      Matrix({2, 2}, 1, std::string(8, 'x'), kDepth32S),
      Matrix({-1, 4}, 1, std::string(16, 'x')),
      Matrix({4, 4}, -1, std::string(16, 'x')),
      Matrix({kHuge, kHuge}, 1, "x"),  // the layout size wraps around
      Matrix({kHuge, kHuge, kHuge}, 1, std::string(64, 'x')),
      Matrix({2, 2}, std::numeric_limits<int>::max(), std::string(16, 'x')),
      Matrix({std::numeric_limits<std::int64_t>::max()}, 1, "x"),
      Matrix(std::vector<std::int64_t>(100000, 2), 1, "x"),
  };
}

// Values of every kind, right or wrong for wherever they are sent, and odd ones that may be
// accepted: every case of the value, and edge forms of matrices and numbers.
std::vector<GAnyData> ValuesOfEveryKind() {
  std::vector<GAnyData> values;
  values.emplace_back();  // no value at all
  const google::protobuf::OneofDescriptor* oneof = GAnyData::descriptor()->FindOneofByName("value");
  for (int i = 0; i < oneof->field_count(); ++i) {
    const FieldDescriptor* field = oneof->field(i);
    GAnyData value;
    value.set_url("d");
    const google::protobuf::Reflection* reflection = value.GetReflection();
    switch (field->cpp_type()) {
      case FieldDescriptor::CPPTYPE_BOOL:
        reflection->SetBool(&value, field, true);
        break;
      case FieldDescriptor::CPPTYPE_INT32:
        reflection->SetInt32(&value, field, std::numeric_limits<std::int32_t>::min());
        break;
      case FieldDescriptor::CPPTYPE_INT64:
        reflection->SetInt64(&value, field, std::numeric_limits<std::int64_t>::max());
        break;
      case FieldDescriptor::CPPTYPE_DOUBLE:
        reflection->SetDouble(&value, field, std::numeric_limits<double>::quiet_NaN());
        break;
      case FieldDescriptor::CPPTYPE_STRING:
        reflection->SetString(&value, field, std::string("{[\"\0", 4));
        break;
      case FieldDescriptor::CPPTYPE_MESSAGE:
        reflection->MutableMessage(&value, field);  // present and empty
        break;
      default:
        break;
    }
    values.push_back(std::move(value));
  }
  values.push_back(Matrix({}, 1, "abc"));                        // no dimensions, some bytes
  values.push_back(Matrix({0, 5}, 3, ""));                       // empty
  values.push_back(Matrix({64, 64}, 1000, ""));                  // a layout and no buffer
  values.push_back(Matrix({2, 2}, 0, "not a jpeg"));             // a broken encoded preview
  values.push_back(Matrix({2, 2}, 1, std::string(4, 'x'), 99));  // an unknown depth code
  values.push_back(Numbers(kInt32, 0, std::string(3, 'x')));     // a partial element
  values.push_back(Numbers(kUnknown, 0, std::string(8, 'x')));
  values.push_back(Numbers(99, 0, std::string(8, 'x')));
  values.push_back(Numbers(kInt32, -5, std::string(8, 'x')));
  values.push_back(Numbers(kInt32, 7, std::string(8, 'x')));  // a block longer than the data
  for (GAnyData& matrix : MismatchedMatrices()) values.push_back(std::move(matrix));
  return values;
}

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    witness_ = harness_.NewProject();
    harness_.UploadChain(witness_, "line.json");
    frame_ = Matrix({8, 8}, 3, std::string(8 * 8 * 3, '\0'));
    std::string& bytes = *frame_.mutable_mat()->mutable_buffer();
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    ASSERT_TRUE(SetData(witness_ + "/worker:source/input:input", frame_).ok());
    ExpectEvaluatesFrame(witness_);

    target_ = harness_.NewProject();
    harness_.UploadChain(target_, "line.json");
  }

  void TearDown() override {
    EXPECT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(30)));
    ExpectEvaluatesFrame(witness_);
  }

  grpc::Status SetData(const std::string& url, const GAnyData& value) {
    SetDataRequest request;
    request.set_url(url);
    *request.mutable_data() = value;
    return harness_.Call(&Stub::SetData, request);
  }

  grpc::Status Command(zelph::Command command, const std::string& url) {
    ExecuteCommandRequest request;
    request.set_command(command);
    request.add_url(url);
    ExecuteCommandResponse response;
    return harness_.Call(&Stub::ExecuteCommand, request, &response);
  }

  // A run of the line passes the frame from the source's input to the sink's output.
  void ExpectEvaluatesFrame(const std::string& project) {
    ExecuteCommandRequest evaluate;
    evaluate.set_command(kEvaluate);
    evaluate.add_url(project);
    ExecuteCommandResponse evaluated;
    ASSERT_TRUE(harness_.Call(&Stub::ExecuteCommand, evaluate, &evaluated).ok()) << project;
    ASSERT_EQ(evaluated.status(), kOk) << project;
    GetDataRequest get;
    get.add_url(project + "/worker:sink/output:output");
    GetDataResponse reply;
    ASSERT_TRUE(harness_.Call(&Stub::GetData, get, &reply).ok()) << project;
    ASSERT_EQ(reply.data_size(), 1) << project;
    const GMat& mat = reply.data(0).mat();
    EXPECT_EQ(mat.buffer(), frame_.mat().buffer()) << project;
    EXPECT_EQ(std::vector<std::int64_t>(mat.dims().begin(), mat.dims().end()),
              std::vector<std::int64_t>({8, 8}))
        << project;
    EXPECT_EQ(mat.channels(), 3) << project;
  }

  // The target loaded anew takes and passes a frame: whatever it was sent, it still serves.
  void ExpectTargetServes() {
    harness_.UploadChain(target_, "line.json");
    ASSERT_TRUE(SetData(target_ + "/worker:source/input:input", frame_).ok());
    ExpectEvaluatesFrame(target_);
  }

  ServiceHarness harness_;
  std::string witness_;
  std::string target_;
  GAnyData frame_;
};

TEST_F(BadInputTest, EveryMethodAnswersMalformedUrls) {
  const std::string p = target_;
  const std::string kUrls[] = {
      "",
      "/",
      "//",
      ":",
      "::::",
      "/:",
      "/session",
      "/session:",
      "session:s",
      "/session:a:b:c",
      "/session:s//project:p",
      "/worker:w/session:s",
      "/SESSION:S/PROJECT:P",
      p + "/",
      p + "/worker:",
      p + "/worker:/input:",
      p + "/worker:source/input:input/worker:x/output:y/link:z",
      p + "/nonsense:x",
      p + "/input",
      p + "/setting:/property:",
      std::string("/session:s\0/project:p", 21),
      "/session:\xff\xfe\xc3(",
      "/model:" + std::string(100000, '/'),
      p +
          [] {
            std::string nested;
            for (int i = 0; i < 20000; ++i) nested += "/worker:w";
            return nested;
          }(),
      "/session:" + std::string(1 << 20, 'x'),
  };
  RawClient client(harness_.NewChannel());
  for (const Method& method : ApiMethods()) {
    for (const std::string& url : kUrls) {
      ExpectAnswered(client.Call(method.path, RequestWithEveryText(method, url)),
                     method.name + " " + url.substr(0, 80));
    }
  }
  ExpectTargetServes();
}

TEST_F(BadInputTest, EveryMethodAnswersBytesThatAreNoRequest) {
  std::mt19937 random(24);
  const auto random_bytes = [&random](size_t size) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
  };
  RawClient client(harness_.NewChannel());
  for (const Method& method : ApiMethods()) {
    const std::string whole = RequestWithEveryText(method, target_ + "/worker:source/input:input");
    std::vector<std::string> requests = {
        whole.substr(0, 1),
        whole.substr(0, whole.size() / 2),
        whole.substr(0, whole.size() - 1),
        std::string("\x0a\xff\xff\xff\xff\x07", 6),  // field 1 claims 2 GB
        std::string("\x0f\x01", 2),                  // a wire type that does not exist
        std::string("\x12\x80\x80\x80\x80\x80\x80\x80\x80\x80\x01", 11),  // an overlong varint
    };
    for (const size_t size : {1, 7, 64, 4096, 1 << 20}) requests.push_back(random_bytes(size));
    for (const std::string& request : requests) {
      ExpectAnswered(client.Call(method.path, request),
                     method.name + " with " + std::to_string(request.size()) + " bytes");
    }
  }
  EXPECT_EQ(client.Call("/zelph.ZelphServiceApiV2/NoSuchMethod", "").error_code(),
            grpc::StatusCode::UNIMPLEMENTED);
  ExpectTargetServes();
}

TEST_F(BadInputTest, JsonTextsTooDeepOrTooLargeAreAnswered) {
  const auto repeated = [](const std::string& part, int times) {
    std::string text;
    text.reserve(part.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i) text += part;
    return text;
  };
  const std::string chain = ChainText("line.json");
  const std::string kTexts[] = {
      repeated("[", 1000000),
      repeated("{\"a\":", 200000),
      "{\"app\":\"zelph-project\",\"zelph_chain\":" + repeated("[", 100000),
      "[" + repeated("0,", 8 << 20) + "0]",  // 16 MB of numbers
      "{\"app\":\"zelph-project\",\"x\":\"" + std::string(16 << 20, 'a') + "\"}",
      chain.substr(0, chain.size() / 2),
      std::string("\xef\xbb\xbf\xff\xfe\0", 6),
      "{\"app\":\"zelph-project-configuration\",\"settings\":" + repeated("{\"a\":", 100000),
  };
  for (const std::string& text : kTexts) {
    const std::string what = text.substr(0, 40) + " (" + std::to_string(text.size()) + " bytes)";
    UploadProjectRequest upload;
    upload.set_url(target_);
    upload.mutable_file()->set_data(text);
    ExpectAnswered(harness_.Call(&Stub::UploadProject, upload), "UploadProject " + what);
    UploadProjectConfigurationRequest configuration;
    configuration.set_url(target_);
    configuration.mutable_file()->set_data(text);
    ExpectAnswered(harness_.Call(&Stub::UploadProjectConfiguration, configuration),
                   "UploadProjectConfiguration " + what);
    GAnyData value;
    value.set_url("d");
    value.set_string_val(text);
    for (const char* tail :
         {"/config", "/setting:s/property:p", "/property:chain.execution.strategy"}) {
      ExpectAnswered(SetData(target_ + tail, value), "SetData " + std::string(tail) + " " + what);
    }
  }
  ExpectTargetServes();
}

TEST_F(BadInputTest, ValuesOfTheWrongKindAndMismatchedMatricesAreAnswered) {
  // Sent to the target and then read, run and previewed there.
  const std::string kTails[] = {
      "/worker:scale/property:p",
      "/worker:scale/system:s",
      "/property:chain.name",
      "/property:chain.execution.strategy",
      "/setting:s/property:p",
      "/input:in",
      "/worker:source/input:input",
      "/worker:scale/input:input",
      "/output:out",
      "/config",
  };
  const std::vector<GAnyData> values = ValuesOfEveryKind();
  for (const GAnyData& value : values) {
    const std::string what = value.ShortDebugString().substr(0, 120);
    for (const std::string& tail : kTails) {
      ExpectAnswered(SetData(target_ + tail, value), "SetData " + std::string(tail) + " " + what);
    }
    for (const zelph::Command command : {kEvaluate, kEvaluateStep, kBuildPreview}) {
      for (const std::string& url :
           {target_, target_ + "/worker:source", target_ + "/worker:sink"}) {
        ExpectAnswered(Command(command, url), url + " " + what);
      }
    }
    ExpectAnswered(Command(kEvaluateAsync, target_), "async " + what);
    GetDataRequest get;
    for (const std::string& tail : kTails) get.add_url(target_ + tail);
    for (const char* tail : {"/worker:source", "/worker:sink/output:output",
                             "/preview:1a2b0000-0000-4000-8000-0000000000a1", "/status"}) {
      get.add_url(target_ + tail);
    }
    for (const std::string& url : get.url()) {
      GetDataRequest one;
      one.add_url(url);
      ExpectAnswered(harness_.Call(&Stub::GetData, one), "GetData " + url + " " + what);
      ExistsRequest exists;
      exists.add_url(url);
      ExpectAnswered(harness_.Call(&Stub::Exists, exists), "Exists " + url + " " + what);
    }
    ASSERT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(30))) << what;
  }

  // The witness's input takes none of them: it is refused before anything is stored.
  for (const GAnyData& matrix : MismatchedMatrices()) {
    const grpc::Status status = SetData(witness_ + "/worker:source/input:input", matrix);
    EXPECT_EQ(status.error_code(), grpc::StatusCode::INVALID_ARGUMENT)
        << matrix.ShortDebugString().substr(0, 120);
  }
  ExpectTargetServes();
}

}  // namespace
}  // namespace zelph::testing
