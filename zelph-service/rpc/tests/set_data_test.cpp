// set_data_test.cpp
//
// SetData through the client stub: the URL forms each target accepts and refuses, every
// value case into the project cache and into property bags read back behind the API,
// matrices whose buffer does not cover their layout, and a deeply nested executor text.
#include <google/protobuf/util/message_differencer.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "any_data_values.h"
#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port_data.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"
#include "zelph/projects/rw_lock.h"
#include "zelph/rpc/any_data_conversion.h"
#include "zelph/settings/project_configuration.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"
#include "zelph/testing/wait_until.h"

namespace zelph::testing {
namespace {

using SetValue = std::function<void(GAnyData&)>;

SetDataRequest Set(const std::string& url, const SetValue& set, const std::string& data_url = "d") {
  SetDataRequest request;
  request.set_url(url);
  request.mutable_data()->set_url(data_url);
  set(*request.mutable_data());
  return request;
}

const SetValue kNoValue = [](GAnyData&) {};

// A project with the line chain loaded (workers "source", "scale", "sink").
struct LineProject {
  explicit LineProject(ServiceHarness& harness) : url(harness.NewProject()) {
    harness.UploadChain(url, "line.json");
    project = harness.ProjectOf(url);
  }
  std::string url;
  std::shared_ptr<Project> project;
};

// The cache entry of `key` as the API would send it back.
std::optional<GAnyData> Cached(const Project& project, const std::string& key) {
  const DataEx entry = project.GetCache(key);
  if (!entry.data) return std::nullopt;
  GAnyData value;
  EXPECT_TRUE(PortDataToAnyData(*entry.data, value).ok());
  return value;
}

TEST(SetDataTest, UrlFormsOfEachTarget) {
  ServiceHarness harness;
  LineProject line(harness);
  const std::string& p = line.url;
  const std::string session = p.substr(0, p.find("/project"));
  const SetValue kDouble = [](GAnyData& v) { v.set_double_val(2.5); };
  const std::string kUnsupported = "Unsupported url: ";
  struct Case {
    std::string url;
    SetValue value;
    grpc::StatusCode code;
    std::string message;
  };
  const Case kCases[] = {
      {p + "/input:x", kDouble, grpc::StatusCode::OK, ""},
      {p + "/output:o", kDouble, grpc::StatusCode::OK, ""},
      {p + "/worker:scale/input:in", kDouble, grpc::StatusCode::OK, ""},
      {p + "/worker:scale/system:key", kDouble, grpc::StatusCode::OK, ""},
      {p + "/worker:scale/property:key", kDouble, grpc::StatusCode::OK, ""},
      {p + "/property:key", kDouble, grpc::StatusCode::OK, ""},
      // Settings are not checked: one that does not exist changes nothing.
      {p + "/setting:nope/property:key", kDouble, grpc::StatusCode::OK, ""},
      {p + "/setting/property", kDouble, grpc::StatusCode::OK, ""},
      // The line chain has a configuration but no main-settings worker to apply it to.
      {p + "/config", [](GAnyData& v) { v.set_string_val("{}"); }, grpc::StatusCode::INTERNAL,
       "Executor not found with id: "},
      // Paths the dispatch does not know, compared exactly.
      {"", kDouble, grpc::StatusCode::INVALID_ARGUMENT, kUnsupported},
      {p, kDouble, grpc::StatusCode::INVALID_ARGUMENT, kUnsupported + p},
      {p + "/worker:scale/port:q", kDouble, grpc::StatusCode::INVALID_ARGUMENT,
       kUnsupported + p + "/worker:scale/port:q"},
      {p + "/input:x/", kDouble, grpc::StatusCode::INVALID_ARGUMENT,
       kUnsupported + p + "/input:x/"},
      {p + "/inp:x", kDouble, grpc::StatusCode::INVALID_ARGUMENT, kUnsupported + p + "/inp:x"},
      {p + "/cache:x", kDouble, grpc::StatusCode::INVALID_ARGUMENT, kUnsupported + p + "/cache:x"},
      // Each target checks the URL it rebuilds of its project or worker.
      {session + "/project/input:x", kDouble, grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + session + "/project, /session/project:id required"},
      {"/session/project:q/input:x", kDouble, grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: /session/project, /session:id required"},
      {p + "/worker/system:key", kDouble, grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + p + "/worker, /session/project/worker:id required"},
      {p + "/worker/property:key", kDouble, grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + p + "/worker, /session/project/worker:id required"},
      {session + "/project/config", kDouble, grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + session + "/project, /session/project:id required"},
      // Lookups.
      {session + "/project:nope/input:x", kDouble, grpc::StatusCode::INTERNAL,
       "Project not found: nope"},
      {"/session:nope" + p.substr(p.find("/project")) + "/property:key", kDouble,
       grpc::StatusCode::INTERNAL, "Session not found: nope"},
      {p + "/worker:nope/system:key", kDouble, grpc::StatusCode::INTERNAL,
       "Executor not found with id: nope"},
      {p + "/worker:nope/property:key", kDouble, grpc::StatusCode::INTERNAL,
       "Executor not found with id: nope"},
      {session + "/project:nope/setting:x/property:key", kDouble, grpc::StatusCode::INTERNAL,
       "Project not found: nope"},
      {p + "/worker:" + std::string(300, 'w') + "/system:key", kDouble, grpc::StatusCode::INTERNAL,
       "Executor not found with id: " + std::string(256, 'w') + "..."},
      // A request without data.
      {p + "/input:x", kNoValue, grpc::StatusCode::INTERNAL, "Unsupported data value case"},
      {p + "/property:key", kNoValue, grpc::StatusCode::INVALID_ARGUMENT,
       "Unsupported property type"},
      {p + "/worker:scale/system:key", kNoValue, grpc::StatusCode::INVALID_ARGUMENT,
       "Unsupported property type"},
      {p + "/worker:scale/property:key", kNoValue, grpc::StatusCode::INVALID_ARGUMENT,
       "Unsupported property type"},
      {p + "/setting:nope/property:key", kNoValue, grpc::StatusCode::INVALID_ARGUMENT,
       "Unsupported property type"},
      // The line chain has no main-settings worker: that is found before the document is read.
      {p + "/config", kNoValue, grpc::StatusCode::INTERNAL, "Executor not found with id: "},
  };
  for (const Case& c : kCases) {
    const grpc::Status status = harness.Call(&Stub::SetData, Set(c.url, c.value));
    EXPECT_EQ(status.error_code(), c.code) << c.url;
    EXPECT_EQ(status.error_message(), c.message) << c.url;
  }

  // Cache data needs its own url; an absent data message has none.
  SetDataRequest request = Set(p + "/input:x", kDouble, "");
  grpc::Status status = harness.Call(&Stub::SetData, request);
  EXPECT_EQ(status.error_code(), grpc::StatusCode::INVALID_ARGUMENT);
  EXPECT_EQ(status.error_message(), "Data id required");
  request.clear_data();
  status = harness.Call(&Stub::SetData, request);
  EXPECT_EQ(status.error_message(), "Data id required");
}

// The key is the URL's tail behind the project, as written.
TEST(SetDataTest, CacheKeysAreTheUrlTail) {
  ServiceHarness harness;
  LineProject line(harness);
  for (const std::string key : {"/input:camera", "/output:o", "/worker:scale/input:in",
                                "/worker:1a2b0000-0000-4000-8000-0000000000a2/input:in"}) {
    ASSERT_TRUE(
        harness
            .Call(&Stub::SetData, Set(line.url + key, [](GAnyData& v) { v.set_double_val(2.5); }))
            .ok());
    const std::optional<GAnyData> cached = Cached(*line.project, key);
    ASSERT_TRUE(cached) << key;
    EXPECT_EQ(cached->scalar().value(), "2.500000") << key;
  }
}

TEST(SetDataTest, EveryValueCaseIntoTheCache) {
  ServiceHarness harness;
  LineProject line(harness);
  auto value = [](const SetValue& set) {
    GAnyData value;
    set(value);
    return value;
  };
  auto scalar = [](std::string text) {
    GAnyData value;
    value.mutable_scalar()->set_value(std::move(text));
    return value;
  };
  auto with_block = [](GAnyData value, int block_length) {
    value.mutable_numbers()->set_block_length(block_length);
    return value;
  };
  auto with_depth = [](GAnyData value, int depth) {
    value.mutable_mat()->set_depth(static_cast<GImageDataDepth>(depth));
    return value;
  };
  struct Case {
    const char* name;
    GAnyData sent;  // the value; its url is set below
    GAnyData read;  // what the cache gives back
  };
  const std::string kBytes("a\0c", 3);
  const std::vector<Case> kCases = {
      {"bool", value([](GAnyData& v) { v.set_bool_val(true); }), scalar("true")},
      {"int32", value([](GAnyData& v) { v.set_int32_val(-3); }), scalar("-3")},
      {"double", value([](GAnyData& v) { v.set_double_val(2.5); }), scalar("2.500000")},
      {"string", value([](GAnyData& v) { v.set_string_val("abc"); }), scalar("abc")},
      {"int64", value([](GAnyData& v) { v.set_int64_val(int64_t{1} << 40); }),
       scalar("1099511627776")},
      {"bytes", value([&](GAnyData& v) { v.set_buffer(kBytes); }), scalar(kBytes)},
      {"numbers byte", NumbersValue(kByte, 5), with_block(NumbersValue(kByte, 5), 1)},
      {"numbers short", NumbersValue(kShort, 6), with_block(NumbersValue(kShort, 6), 1)},
      {"numbers int32", NumbersValue(kInt32, 12), with_block(NumbersValue(kInt32, 12), 1)},
      {"numbers int64", NumbersValue(kInt64, 16), with_block(NumbersValue(kInt64, 16), 1)},
      {"numbers float", NumbersValue(kFloat, 8), with_block(NumbersValue(kFloat, 8), 1)},
      {"numbers double", NumbersValue(kDouble, 24), with_block(NumbersValue(kDouble, 24), 1)},
      {"numbers in blocks", NumbersValue(kInt32, 24, 3), NumbersValue(kInt32, 24, 3)},
      {"mat 8U", MatValue(0, {4, 3}, 2, 24), MatValue(0, {4, 3}, 2, 24)},
      {"mat 8S", MatValue(1, {4, 3}, 2, 24), MatValue(1, {4, 3}, 2, 24)},
      {"mat 16U", MatValue(2, {4, 3}, 2, 48), MatValue(2, {4, 3}, 2, 48)},
      {"mat 16S", MatValue(3, {4, 3}, 2, 48), MatValue(3, {4, 3}, 2, 48)},
      {"mat 32S", MatValue(4, {4, 3}, 2, 96), MatValue(4, {4, 3}, 2, 96)},
      {"mat 32F", MatValue(5, {4, 3}, 2, 96), MatValue(5, {4, 3}, 2, 96)},
      {"mat 64F", MatValue(6, {4, 3}, 2, 192), MatValue(6, {4, 3}, 2, 192)},
      {"mat 1-bit", MatValue(101, {17}, 1, 3), MatValue(101, {17}, 1, 3)},
      {"mat depth 404 is 8U", MatValue(404, {4, 3}, 1, 12),
       with_depth(MatValue(404, {4, 3}, 1, 12), 0)},
      {"mat 3-D", MatValue(0, {2, 3, 4}, 1, 24), MatValue(0, {2, 3, 4}, 1, 24)},
      {"mat without bytes", MatValue(5, {640, 480}, 3, 0), MatValue(0, {}, 0, 0)},
  };
  for (const Case& c : kCases) {
    SetDataRequest request;
    request.set_url(line.url + "/input:x");
    *request.mutable_data() = c.sent;
    request.mutable_data()->set_url("x");
    const grpc::Status status = harness.Call(&Stub::SetData, request);
    ASSERT_TRUE(status.ok()) << c.name << ": " << status.error_message();
    const std::optional<GAnyData> cached = Cached(*line.project, "/input:x");
    ASSERT_TRUE(cached) << c.name;
    EXPECT_TRUE(google::protobuf::util::MessageDifferencer::Equals(*cached, c.read))
        << c.name << ": " << cached->ShortDebugString();
  }
}

TEST(SetDataTest, RefusedCacheValuesStoreNothing) {
  ServiceHarness harness;
  LineProject line(harness);
  ASSERT_TRUE(harness
                  .Call(&Stub::SetData,
                        Set(line.url + "/input:x", [](GAnyData& v) { v.set_string_val("before"); }))
                  .ok());
  const DataEx before = line.project->GetCache("/input:x");
  auto numbers = [](GElementType type, size_t bytes) {
    return [=](GAnyData& v) { *v.mutable_numbers() = NumbersValue(type, bytes).numbers(); };
  };
  auto mat = [](int depth, std::vector<std::int64_t> dims, int channels, size_t bytes) {
    return [=](GAnyData& v) { *v.mutable_mat() = MatValue(depth, dims, channels, bytes).mat(); };
  };
  struct Case {
    const char* name;
    SetValue value;
    grpc::StatusCode code;
    std::string message;
  };
  const Case kCases[] = {
      {"scalar message", [](GAnyData& v) { v.mutable_scalar()->set_value("x"); },
       grpc::StatusCode::INTERNAL, "Unsupported data value case"},
      {"error info", [](GAnyData& v) { v.mutable_error_info(); }, grpc::StatusCode::INTERNAL,
       "Unsupported data value case"},
      {"numbers of no element type", numbers(kUnknown, 4), grpc::StatusCode::INTERNAL,
       "Unsupported element data type for number vector container"},
      {"numbers cut in an element", numbers(kInt32, 6), grpc::StatusCode::INTERNAL,
       "Invalid buffer size, it should be devide by element size"},
      // Matrices that a reader walking their dims would read past the buffer's end.
      {"mat shorter than its dims", mat(0, {100000, 100000}, 1, 16),
       grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid mat: buffer size 16 is smaller than the layout size 10000000000"},
      {"mat one byte short", mat(6, {4, 2}, 1, 63), grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid mat: buffer size 63 is smaller than the layout size 64"},
      {"mat of a negative dim", mat(0, {-1, 4}, 1, 64), grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid mat: negative dimension"},
      {"mat of negative channels", mat(0, {4, 2}, -1, 8), grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid mat: negative channel count"},
      {"mat whose layout overflows", mat(0, {int64_t{1} << 62, 8}, 1, 16),
       grpc::StatusCode::INVALID_ARGUMENT, "Invalid mat: the layout size overflows"},
  };
  for (const Case& c : kCases) {
    const grpc::Status status = harness.Call(&Stub::SetData, Set(line.url + "/input:x", c.value));
    EXPECT_EQ(status.error_code(), c.code) << c.name;
    EXPECT_EQ(status.error_message(), c.message) << c.name;
    const DataEx after = line.project->GetCache("/input:x");
    EXPECT_EQ(after.data, before.data) << c.name;
    EXPECT_EQ(after.modified, before.modified) << c.name;
  }

  // What stays accepted: an encoded preview sent back (no channels), a longer buffer.
  for (const auto& [name, value] : {std::pair{"preview", mat(0, {256, 256}, 0, 100)},
                                    std::pair{"longer", mat(0, {2, 2}, 1, 9)}}) {
    EXPECT_TRUE(harness.Call(&Stub::SetData, Set(line.url + "/input:" + name, value)).ok()) << name;
    EXPECT_NE(line.project->GetCache(std::string("/input:") + name).data, nullptr) << name;
  }
}

// The property writes: each value case replaces the entry, whatever it held; the other
// cases are refused and leave it as it was.
TEST(SetDataTest, EveryValueCaseIntoPropertyBags) {
  ServiceHarness harness;
  LineProject line(harness);
  struct Target {
    std::string url;
    std::function<std::optional<PropertyVariant>()> read;
  };
  const Target kTargets[] = {
      {line.url + "/worker:scale/property:key",
       [&] { return line.project->GetWorker("scale")->GetProperties()->GetValue("key"); }},
      {line.url + "/worker:scale/system:key",
       [&] { return line.project->GetWorker("scale")->GetSystemProperties()->GetValue("key"); }},
      {line.url + "/property:key",
       [&] { return line.project->GetChainProperties()->GetValue("key"); }},
  };
  struct Case {
    const char* name;
    SetValue value;
    std::optional<PropertyVariant> stored;  // none: refused, the entry stays
  };
  const Case kCases[] = {
      {"string", [](GAnyData& v) { v.set_string_val("text"); },
       PropertyVariant(std::string("text"))},
      {"int64 over a string", [](GAnyData& v) { v.set_int64_val(5); }, PropertyVariant(5LL)},
      {"int32", [](GAnyData& v) { v.set_int32_val(-3); }, PropertyVariant(-3)},
      {"double", [](GAnyData& v) { v.set_double_val(2.5); }, PropertyVariant(2.5)},
      {"bool", [](GAnyData& v) { v.set_bool_val(true); }, PropertyVariant(true)},
      {"bytes", [](GAnyData& v) { v.set_buffer("abc"); }, std::nullopt},
      {"numbers", [](GAnyData& v) { v.mutable_numbers(); }, std::nullopt},
      {"mat", [](GAnyData& v) { v.mutable_mat(); }, std::nullopt},
      {"scalar message", [](GAnyData& v) { v.mutable_scalar(); }, std::nullopt},
      {"no value", kNoValue, std::nullopt},
  };
  for (const Target& target : kTargets) {
    std::optional<PropertyVariant> last;
    for (const Case& c : kCases) {
      const grpc::Status status = harness.Call(&Stub::SetData, Set(target.url, c.value));
      if (c.stored) {
        EXPECT_TRUE(status.ok()) << target.url << " " << c.name << ": " << status.error_message();
        last = c.stored;
      } else {
        EXPECT_EQ(status.error_code(), grpc::StatusCode::INVALID_ARGUMENT) << c.name;
        EXPECT_EQ(status.error_message(), "Unsupported property type") << c.name;
      }
      EXPECT_EQ(target.read(), last) << target.url << " " << c.name;
    }
  }
}

TEST(SetDataTest, ChainPropertiesReachTheChain) {
  ServiceHarness harness;
  LineProject line(harness);
  const std::string name_url = line.url + "/property:chain.name";
  ASSERT_TRUE(
      harness.Call(&Stub::SetData, Set(name_url, [](GAnyData& v) { v.set_string_val("Renamed"); }))
          .ok());
  EXPECT_EQ(line.project->GetChain()->GetName(), "Renamed");

  // A refused value still hands the mirror's current value to the chain.
  line.project->GetChainProperties()->SetValue("chain.name", std::string("Mirrored"));
  EXPECT_EQ(harness.Call(&Stub::SetData, Set(name_url, kNoValue)).error_code(),
            grpc::StatusCode::INVALID_ARGUMENT);
  EXPECT_EQ(line.project->GetChain()->GetName(), "Mirrored");
}

// An executor text nested a million levels deep would exhaust the stack of the thread that
// reads it (or frees what was read); it gets the reader's ordinary parse error instead.
TEST(SetDataTest, DeeplyNestedExecutorTextIsRefusedAsUnreadable) {
  ServiceHarness harness;
  LineProject line(harness);
  constexpr size_t kDepth = 1'000'000;
  const std::string deep =
      R"({"name": )" + std::string(kDepth, '[') + std::string(kDepth, ']') + "}";
  const grpc::Status status = harness.Call(
      &Stub::SetData,
      Set(line.url + "/property:chain.executor", [&](GAnyData& v) { v.set_string_val(deep); }));
  EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL);
  EXPECT_EQ(status.error_message(), "Chain options json parser error: 16");
  EXPECT_EQ(line.project->GetChain()->GetId(), kLineChainId);
  EXPECT_TRUE(
      harness
          .Call(&Stub::SetData, Set(line.url + "/property:chain.executor",
                                    [](GAnyData& v) { v.set_string_val("{\"name\": \"Back\"}"); }))
          .ok());
  EXPECT_EQ(line.project->GetChain()->GetName(), "Back");
}

// Only names that begin with the whole prefix "$__system." are mirrored as system
// properties, under the name that follows it; "$__system" alone and "$__systemfoo" are
// ordinary properties and the write succeeds.
TEST(SetDataTest, WorkerPropertiesMirrorOnlyTheSystemPrefix) {
  ServiceHarness harness;
  LineProject line(harness);
  const std::shared_ptr<IDataProcess> worker = line.project->GetWorker("scale");
  // By id: the first write renames the worker.
  const std::string worker_url = line.url + "/worker:" + kLineScaleId;
  struct Case {
    std::string name;
    const char* system;  // the mirrored system property, or null
  };
  const Case kCases[] = {
      {"$__system.name", "name"}, {"$__system.", ""}, {"$__system", nullptr},
      {"$__systemfoo", nullptr},  {"plain", nullptr},
  };
  for (const Case& c : kCases) {
    const grpc::Status status = harness.Call(
        &Stub::SetData,
        Set(worker_url + "/property:" + c.name, [&](GAnyData& v) { v.set_string_val(c.name); }));
    EXPECT_TRUE(status.ok()) << c.name << ": " << status.error_message();
    EXPECT_EQ(worker->GetProperties()->GetValue(c.name), PropertyVariant(c.name)) << c.name;
    if (c.system != nullptr) {
      EXPECT_EQ(worker->GetSystemProperties()->GetValue(c.system), PropertyVariant(c.name));
    }
  }
  for (const char* never : {"oo", "foo", "$__system", "$__systemfoo", "plain"}) {
    EXPECT_FALSE(worker->GetSystemProperties()->HasValue(never)) << never;
  }
}

// The main settings travel both ways: a write to the main-settings worker's properties
// reaches the configuration, a write to a setting reaches the worker.
TEST(SetDataTest, MainSettingsFollowWritesOnEitherSide) {
  ServiceHarness harness;
  const std::string project_url = harness.NewProject();
  harness.UploadChain(project_url, "main_settings.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(project_url);
  auto threshold = [&] {
    return project->GetConfiguration()->GetValue(kMainWorkerId, "threshold")->value;
  };
  auto settings = [&] {
    return project->GetWorker(kMainWorkerId)->GetPropertyString("settings", "<none>");
  };

  ASSERT_TRUE(
      harness
          .Call(&Stub::SetData, Set(project_url + "/worker:dashboard/property:settings",
                                    [](GAnyData& v) { v.set_string_val(R"({"threshold": 7})"); }))
          .ok());
  EXPECT_EQ(threshold(), PropertyVariant(7));

  const std::string setting = project_url + "/setting:" + kMainWorkerId + "/property:";
  struct Case {
    std::string url;
    SetValue value;
    grpc::StatusCode code;
    PropertyVariant threshold;
  };
  const Case kCases[] = {
      {setting + "threshold", [](GAnyData& v) { v.set_int32_val(11); }, grpc::StatusCode::OK,
       PropertyVariant(11)},
      {setting + "nope", [](GAnyData& v) { v.set_int32_val(12); }, grpc::StatusCode::OK,
       PropertyVariant(11)},
      {project_url + "/setting:nope/property:threshold", [](GAnyData& v) { v.set_int32_val(13); },
       grpc::StatusCode::OK, PropertyVariant(11)},
      {setting + "threshold", [](GAnyData& v) { v.set_buffer("14"); },
       grpc::StatusCode::INVALID_ARGUMENT, PropertyVariant(11)},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(harness.Call(&Stub::SetData, Set(c.url, c.value)).error_code(), c.code) << c.url;
    EXPECT_EQ(threshold(), c.threshold) << c.url;
    EXPECT_EQ(settings(), "{\n    \"threshold\": 11,\n    \"label\": \"main\"\n}") << c.url;
  }

  // Without the main-settings worker no value can be applied: the write is refused and the
  // configuration keeps its value.
  RemoveRequest remove;
  remove.add_url(project_url + "/worker:" + kMainWorkerId);
  ASSERT_TRUE(harness.Call(&Stub::Remove, remove).ok());
  const grpc::Status refused = harness.Call(
      &Stub::SetData, Set(setting + "threshold", [](GAnyData& v) { v.set_int32_val(15); }));
  EXPECT_EQ(refused.error_code(), grpc::StatusCode::INTERNAL);
  EXPECT_EQ(refused.error_message(), std::string("Executor not found with id: ") + kMainWorkerId);
  EXPECT_EQ(threshold(), PropertyVariant(11));
}

// A write into the main-settings worker holds the project from before the write until the
// configuration has followed it: no edit comes between them, and no second wait for the
// project can end at the client's deadline after the property changed. The write is held
// up inside the worker's property bag (read by this thread meanwhile) until this thread has
// seen the project held.
TEST(SetDataTest, AMainSettingsWriteHoldsTheProjectUntilTheConfigurationFollows) {
  ServiceHarness harness;
  const std::string project_url = harness.NewProject();
  harness.UploadChain(project_url, "main_settings.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(project_url);
  RwLock& lock = project->GetLock();
  std::future<grpc::Status> write;
  bool held = false;
  project->GetWorker(kMainWorkerId)
      ->GetProperties()
      ->ForEach([&](const std::string&, PropertyValue&) {
        if (write.valid()) return;
        write = std::async(std::launch::async, [&] {
          return harness.Call(&Stub::SetData,
                              Set(project_url + "/worker:dashboard/property:settings",
                                  [](GAnyData& v) { v.set_string_val(R"({"threshold": 9})"); }));
        });
        held = WaitUntil([&] {
          if (!lock.try_lock()) return true;
          lock.unlock();
          return false;
        });
      });
  EXPECT_TRUE(held);
  ASSERT_TRUE(write.valid());
  EXPECT_TRUE(write.get().ok());
  EXPECT_EQ(project->GetConfiguration()->GetValue(kMainWorkerId, "threshold")->value,
            PropertyVariant(9));
}

TEST(SetDataTest, WholeConfigurationDocuments) {
  ServiceHarness harness;
  const std::string project_url = harness.NewProject();
  harness.UploadChain(project_url, "main_settings.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(project_url);
  const std::string config_url = project_url + "/config";
  auto document = [](std::string text) {
    return [text = std::move(text)](GAnyData& v) { v.set_string_val(text); };
  };
  std::string tuned = project->GetConfigurationJson();
  tuned.replace(tuned.find("\"threshold\": 9,"), 15, "\"threshold\": 42,");
  ASSERT_TRUE(harness.Call(&Stub::SetData, Set(config_url, document(tuned))).ok());
  EXPECT_EQ(project->GetConfigurationJson(), tuned);
  EXPECT_EQ(project->GetWorker(kMainWorkerId)->GetPropertyString("settings", ""),
            "{\n    \"threshold\": 42,\n    \"label\": \"main\"\n}");

  constexpr size_t kDepth = 1'000'000;
  struct Case {
    const char* name;
    SetValue value;
  };
  const Case kCases[] = {
      {"no value", kNoValue},
      {"a number", [](GAnyData& v) { v.set_int32_val(1); }},
      {"cut short", document("{\"threshold\": ")},
      // Would exhaust the stack of the thread that reads it (or frees what was read).
      {"nested a million levels", document(std::string(kDepth, '[') + std::string(kDepth, ']'))},
  };
  for (const Case& c : kCases) {
    const grpc::Status status = harness.Call(&Stub::SetData, Set(config_url, c.value));
    EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL) << c.name;
    EXPECT_EQ(status.error_message(), "Failed parse project configuration") << c.name;
    EXPECT_EQ(project->GetConfigurationJson(), tuned) << c.name;
    EXPECT_EQ(project->GetState(), static_cast<int>(ProjectState::kReady)) << c.name;
  }
}

TEST(SetDataTest, ConfigurationOfABusyProjectIsRefused) {
  ServiceHarness harness;
  const std::string project_url = harness.NewProject();
  Gate& loader = TestPluginControl::Get().LoaderGate();
  loader.Reset();
  loader.Close();
  UploadProjectRequest upload;
  upload.set_url(project_url);
  upload.mutable_file()->set_data(ChainText("main_settings.json"));
  auto loading =
      std::async(std::launch::async, [&] { return harness.Call(&Stub::UploadProject, upload); });
  ASSERT_TRUE(loader.WaitForInside(1));
  const grpc::Status status = harness.Call(
      &Stub::SetData, Set(project_url + "/config", [](GAnyData& v) { v.set_string_val("{}"); }));
  loader.Open();
  EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL);
  EXPECT_EQ(status.error_message(), "Chain not ready to upload configuration");
  EXPECT_TRUE(loading.get().ok());
  loader.Reset();
}

}  // namespace
}  // namespace zelph::testing
