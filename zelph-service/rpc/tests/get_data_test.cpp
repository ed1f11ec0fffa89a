// get_data_test.cpp
//
// GetData through the client stub: every value kind that SetData stores comes back from the
// same URL; every URL form answers with its message and its modification time; the order
// of the dispatch; the URL checks before anything is read, and the stop at the first URL
// that fails.
#include <google/protobuf/util/message_differencer.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capturing_logger.h"
#include "described_model.h"
#include "readable_objects.h"
#include "service_harness.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port.h"
#include "zelph/model/port_data.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_cache.h"
#include "zelph/projects/statistic.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

using google::protobuf::util::MessageDifferencer;

grpc::Status Get(ServiceHarness& harness, const std::vector<std::string>& urls,
                 GetDataResponse* response) {
  GetDataRequest request;
  for (const std::string& url : urls) request.add_url(url);
  return harness.Call(&Stub::GetData, request, response);
}

GAnyData Scalar(const std::string& text) {
  GAnyData value;
  value.mutable_scalar()->set_value(text);
  return value;
}

GAnyData Value(const std::function<void(GAnyData&)>& set) {
  GAnyData value;
  set(value);
  return value;
}

TEST(GetDataTest, EveryValueKindThatSetDataStoresComesBack) {
  ServiceHarness harness;
  const std::string project_url = harness.NewProject();
  harness.UploadChain(project_url, "line.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(project_url);
  struct Case {
    const char* name;
    GAnyData sent;
    GAnyData read;  // its value only
  };
  const std::string kBytes("a\0c", 3);
  const Case kCases[] = {
      {"bool", Value([](GAnyData& v) { v.set_bool_val(true); }), Scalar("true")},
      {"int32", Value([](GAnyData& v) { v.set_int32_val(-3); }), Scalar("-3")},
      {"int64", Value([](GAnyData& v) { v.set_int64_val(int64_t{1} << 40); }),
       Scalar("1099511627776")},
      {"double", Value([](GAnyData& v) { v.set_double_val(2.5); }), Scalar("2.500000")},
      {"string", Value([](GAnyData& v) { v.set_string_val("abc"); }), Scalar("abc")},
      {"bytes", Value([&](GAnyData& v) { v.set_buffer(kBytes); }), Scalar(kBytes)},
      {"numbers of bytes", NumbersValue(kByte, 5, 0), NumbersValue(kByte, 5, 1)},
      {"numbers of shorts", NumbersValue(kShort, 6, 0), NumbersValue(kShort, 6, 1)},
      {"numbers of int32", NumbersValue(kInt32, 12, 0), NumbersValue(kInt32, 12, 1)},
      {"numbers of int64", NumbersValue(kInt64, 16, 0), NumbersValue(kInt64, 16, 1)},
      {"numbers of floats in blocks", NumbersValue(kFloat, 48, 3), NumbersValue(kFloat, 48, 3)},
      {"numbers of doubles", NumbersValue(kDouble, 24, 0), NumbersValue(kDouble, 24, 1)},
      {"mat 8U", MatValue(0, {4, 3}, 2, 24), MatValue(0, {4, 3}, 2, 24)},
      {"mat 8S", MatValue(1, {4, 3}, 2, 24), MatValue(1, {4, 3}, 2, 24)},
      {"mat 16U", MatValue(2, {4, 3}, 2, 48), MatValue(2, {4, 3}, 2, 48)},
      {"mat 16S", MatValue(3, {4, 3}, 2, 48), MatValue(3, {4, 3}, 2, 48)},
      {"mat 32S", MatValue(4, {4, 3}, 2, 96), MatValue(4, {4, 3}, 2, 96)},
      {"mat 32F 3-D", MatValue(5, {2, 3, 4}, 1, 96), MatValue(5, {2, 3, 4}, 1, 96)},
      {"mat 64F", MatValue(6, {4, 3}, 2, 192), MatValue(6, {4, 3}, 2, 192)},
      {"mat of bits", MatValue(101, {17}, 1, 3), MatValue(101, {17}, 1, 3)},
      {"mat of unknown depth as 8U", MatValue(404, {4, 3}, 1, 12), MatValue(0, {4, 3}, 1, 12)},
      {"empty mat", MatValue(5, {640, 480}, 3, 0), MatValue(0, {}, 0, 0)},
  };
  const std::string kUrls[] = {project_url + "/input:x", project_url + "/output:y",
                               project_url + "/worker:scale/input:input"};
  for (const Case& c : kCases) {
    for (const std::string& url : kUrls) {
      SetDataRequest request;
      request.set_url(url);
      *request.mutable_data() = c.sent;
      request.mutable_data()->set_url("d");
      ASSERT_TRUE(harness.Call(&Stub::SetData, request).ok()) << c.name;

      GetDataResponse response;
      const grpc::Status status = Get(harness, {url}, &response);
      ASSERT_TRUE(status.ok()) << c.name << ": " << status.error_message();
      GAnyData expected = c.read;
      expected.set_url(url);
      expected.set_modified(project->GetCache(url.substr(project_url.size())).modified);
      EXPECT_GT(expected.modified(), 0);
      ASSERT_EQ(response.data_size(), 1) << c.name;
      EXPECT_TRUE(MessageDifferencer::Equals(response.data(0), expected))
          << c.name << " at " << url << ": " << response.data(0).ShortDebugString();
    }
  }
}

// Property values keep their kind both ways: SetData writes the value's alternative into the
// bag, GetData answers it in the member of that alternative.
TEST(GetDataTest, EveryPropertyKindThatSetDataWritesComesBack) {
  ServiceHarness harness;
  const std::string line = harness.NewProject();
  harness.UploadChain(line, "line.json");
  const std::string settings = harness.NewProject();
  harness.UploadChain(settings, "main_settings.json");
  const std::string kUrls[] = {
      line + "/worker:scale/property:p",
      line + "/worker:scale/system:p",
      line + "/property:p",
      settings + "/setting:" + std::string(kMainWorkerId) + "/property:threshold",
  };
  const GAnyData kValues[] = {
      Value([](GAnyData& v) { v.set_bool_val(false); }),
      Value([](GAnyData& v) { v.set_int32_val(-3); }),
      Value([](GAnyData& v) { v.set_int64_val(int64_t{1} << 40); }),
      Value([](GAnyData& v) { v.set_double_val(2.5); }),
      Value([](GAnyData& v) { v.set_string_val("abc"); }),
  };
  for (const std::string& url : kUrls) {
    for (const GAnyData& value : kValues) {
      SetDataRequest request;
      request.set_url(url);
      *request.mutable_data() = value;
      ASSERT_TRUE(harness.Call(&Stub::SetData, request).ok()) << url;
      GetDataResponse response;
      const grpc::Status status = Get(harness, {url}, &response);
      ASSERT_TRUE(status.ok()) << url << ": " << status.error_message();
      ASSERT_EQ(response.data_size(), 1);
      GAnyData expected = value;
      expected.set_url(url);
      EXPECT_TRUE(MessageDifferencer::Equals(response.data(0), expected))
          << url << ": " << response.data(0).ShortDebugString();
    }
  }
}

TEST(GetDataTest, EveryUrlFormAnswersItsMessageAndTime) {
  ServiceHarness harness;
  RegisterDescribedModel();
  const ReadableObjects objects(harness);
  const std::string& p = objects.line;
  const std::string& m = objects.settings;
  using Check = std::function<void(const GAnyData&)>;
  auto text = [](std::string expected) -> Check {
    return [expected](const GAnyData& e) {
      ASSERT_EQ(e.value_case(), GAnyData::kStringVal);
      EXPECT_EQ(e.string_val(), expected);
    };
  };
  auto text_with = [](std::string part) -> Check {
    return [part](const GAnyData& e) {
      ASSERT_EQ(e.value_case(), GAnyData::kStringVal);
      EXPECT_NE(e.string_val().find(part), std::string::npos) << e.string_val();
    };
  };
  struct Case {
    std::string url;
    GAnyData::ValueCase value;
    Check check;
    std::int64_t modified;
    std::string answered_url;  // empty: the URL as sent
  };
  const std::int64_t statistic_time = DataEx::StampOf(objects.statistic->GetDocument().rendered);
  const std::vector<Case> kCases = {
      {p + "/worker:scale/property:gain", GAnyData::kInt32Val,
       [](const GAnyData& e) { EXPECT_EQ(e.int32_val(), 3); }, 0, ""},
      // The piece before the last names the worker, whatever the worker segment says.
      {p + "/worker:source/property:sink\\label", GAnyData::kStringVal, text("end"), 0, ""},
      {p + "/worker:source/property:x\\sink\\label", GAnyData::kStringVal, text("end"), 0, ""},
      {p + "/worker:scale/property:gain/more:1", GAnyData::kInt32Val,
       [](const GAnyData& e) { EXPECT_EQ(e.int32_val(), 3); }, 0, ""},
      {p + "/worker:scale/system:weight", GAnyData::kDoubleVal,
       [](const GAnyData& e) { EXPECT_EQ(e.double_val(), 0.25); }, 0, ""},
      {p + "/worker:scale/system:name", GAnyData::kStringVal, text("scale"), 0, ""},
      {p + "/property:chain.name", GAnyData::kStringVal, text("Line"), 0, ""},
      {"/model:" + std::string(kDescribedModelId), GAnyData::kModel,
       [](const GAnyData& e) {
         EXPECT_TRUE(MessageDifferencer::Equals(e.model(), DescribedGModel()));
       },
       0, ""},
      {p + "/execution_status", GAnyData::kExecutionStatus,
       [](const GAnyData& e) {
         EXPECT_TRUE(MessageDifferencer::Equals(e.execution_status(), GExecutionStatus()));
       },
       0, ""},
      {p + "/worker:scale", GAnyData::kWorker,
       [](const GAnyData& e) {
         EXPECT_EQ(e.worker().id(), kLineScaleId);
         EXPECT_EQ(e.worker().system_name(), "scale");
         EXPECT_EQ(e.worker().model().id(), kScaleModel);
         EXPECT_EQ(e.worker().ports_size(), 2);
       },
       0, ""},
      {p + "/link:" + kLineFirstLink, GAnyData::kStringVal,
       text(std::string(R"({"id":")") + kLineFirstLink + R"(","src_worker_id":")" + kLineSourceId +
            R"(","src_port_id":")" + kLineSourceOutput + R"(","dest_worker_id":")" + kLineScaleId +
            R"(","dest_port_id":")" + kLineScaleInput + R"("})"),
       0, ""},
      {p + "/model:" + kDescribedModelId, GAnyData::kStringVal, text(DescribedGModel().tmp_json()),
       0, ""},
      {p + "/status", GAnyData::kStringVal, text("ready"), objects.StatusTime(kLineChainId), ""},
      {p + "/statistic:" + kLineScaleId, GAnyData::kStringVal,
       text(objects.statistic->GetDocument().data->GetStr()), statistic_time, ""},
      {p + "/error:" + kLineScaleId, GAnyData::kErrorInfo,
       [](const GAnyData& e) {
         EXPECT_EQ(e.error_info().error_message(), "scale failed");
         EXPECT_EQ(e.error_info().stack_trace(), "at scale()");
         EXPECT_EQ(e.error_info().error_class_name(), "ScaleError");
       },
       statistic_time, ""},
      {m + "/setting:" + kMainWorkerId, GAnyData::kSettingNode,
       [](const GAnyData& e) {
         EXPECT_EQ(e.setting_node().id(), kMainWorkerId);
         ASSERT_EQ(e.setting_node().controls_size(), 2);
         EXPECT_EQ(e.setting_node().controls(0).name(), "threshold");
         EXPECT_EQ(e.setting_node().controls(0).def(), "9");
         EXPECT_EQ(e.setting_node().controls(1).def(), "main");
       },
       0, ""},
      {m + "/settings", GAnyData::kStringVal, text_with(R"("app": "zelph-chain-settings")"), 0, ""},
      {m + "/setting:" + kMainWorkerId + "/property:threshold", GAnyData::kInt64Val,
       [](const GAnyData& e) { EXPECT_EQ(e.int64_val(), 9); }, 0, ""},
      {p, GAnyData::kStringVal, text_with(kLineChainId), 0, ""},
      {p + "/worker:scale/status", GAnyData::kStringVal, text("undefined"), 0, ""},
      {p + "/worker:" + kLineScaleId + "/status", GAnyData::kStringVal, text("executing"),
       objects.StatusTime(kLineScaleId), ""},
      {"/app:" + std::string(kDemoAppId), GAnyData::kSolution,
       [](const GAnyData& e) {
         EXPECT_EQ(e.solution().id(), kDemoAppId);
         EXPECT_EQ(e.solution().caption(), "Demo");
         EXPECT_EQ(e.solution().file(), "");
       },
       0, ""},
      // Found by the template id alone, whatever app the URL names.
      {"/app:other/template:" + std::string(kFastTemplateId), GAnyData::kTemplate,
       [](const GAnyData& e) {
         EXPECT_EQ(e.template_().id(), kFastTemplateId);
         EXPECT_EQ(e.template_().app_id(), "other");
         EXPECT_EQ(e.template_().file(), "");
       },
       0, ""},
      {p + "/input:x", GAnyData::kScalar,
       [](const GAnyData& e) { EXPECT_EQ(e.scalar().value(), "2.5"); }, objects.Stamp("/input:x"),
       ""},
      {p + "/worker:scale/output:output", GAnyData::kNumbers,
       [](const GAnyData& e) { EXPECT_EQ(e.numbers().buffer(), Pattern(8)); },
       objects.Stamp("/worker:scale/output:output"), ""},
      {p + "/preview:" + kLineScaleId, GAnyData::kScalar,
       [](const GAnyData& e) { EXPECT_EQ(e.scalar().value(), "[1, 2]"); },
       objects.Stamp("/preview:" + std::string(kLineScaleId)), ""},
      {p + "/cache:nothing", GAnyData::VALUE_NOT_SET, [](const GAnyData&) {}, 0, ""},
  };
  GetDataRequest request;
  for (const Case& c : kCases) request.add_url(c.url);
  GetDataResponse response;
  const grpc::Status status = harness.Call(&Stub::GetData, request, &response);
  ASSERT_TRUE(status.ok()) << status.error_message();
  ASSERT_EQ(response.data_size(), static_cast<int>(kCases.size()));
  for (size_t i = 0; i < kCases.size(); ++i) {
    const Case& c = kCases[i];
    const GAnyData& element = response.data(static_cast<int>(i));
    SCOPED_TRACE(c.url);
    EXPECT_EQ(element.url(), c.answered_url.empty() ? c.url : c.answered_url);
    EXPECT_EQ(element.modified(), c.modified);
    ASSERT_EQ(element.value_case(), c.value) << element.ShortDebugString();
    c.check(element);
  }
}

// A run keeps a worker's ports under its id with each port's id and name, and under its system
// name with each port's name; the system name with a port's id reads the entry of the id.
TEST(GetDataTest, AWorkerNamedBySystemNameFindsItsPortsByIdAndName) {
  ServiceHarness harness;
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(p);
  const std::string port_id =
      project->GetWorker(kLineScaleId)->FindPortByName(PortType::output, "output", false)->GetId();
  const std::string by_ids = std::string("/worker:") + kLineScaleId + "/output:" + port_id;
  project->SetCache(by_ids, std::make_shared<PortDataScalar>(std::string("by ids")));
  project->SetCache("/worker:scale/output:output",
                    std::make_shared<PortDataScalar>(std::string("by names")));
  struct Case {
    std::string url;
    const char* value;  // null: an element without a value
  };
  const Case kCases[] = {
      {p + by_ids, "by ids"},
      {p + "/worker:scale/output:" + port_id, "by ids"},
      {p + "/worker:scale/output:output", "by names"},
      {p + "/worker:scale/output:nothing", nullptr},
      {p + "/worker:nothing/output:" + port_id, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.url);
    GetDataResponse response;
    ASSERT_TRUE(Get(harness, {c.url}, &response).ok());
    ASSERT_EQ(response.data_size(), 1);
    EXPECT_EQ(response.data(0).url(), c.url);
    EXPECT_EQ(response.data(0).scalar().value(), c.value ? c.value : "");
    EXPECT_EQ(response.data(0).modified() != 0, c.value != nullptr);
    ExistsRequest exists;
    exists.add_url(c.url);
    ExistsResponse answer;
    ASSERT_TRUE(harness.Call(&Stub::Exists, exists, &answer).ok());
    EXPECT_EQ(answer.exists(0).bool_val(), c.value != nullptr);
  }
}

TEST(GetDataTest, DispatchOrder) {
  ServiceHarness harness;
  RegisterDescribedModel();
  const ReadableObjects objects(harness);
  const std::string& p = objects.line;
  struct Case {
    const char* name;
    std::vector<std::string> urls;
    grpc::StatusCode code;
    std::string message;
    std::vector<GAnyData::ValueCase> values;  // of the elements, when the call succeeds
  };
  const Case kCases[] = {
      {"settings with an id is the chain settings document",
       {objects.settings + "/settings:x"},
       grpc::StatusCode::OK,
       "",
       {GAnyData::kStringVal}},
      {"a setting is one node",
       {objects.settings + "/setting:" + kMainWorkerId},
       grpc::StatusCode::OK,
       "",
       {GAnyData::kSettingNode}},
      {"the configuration URL adds no element",
       {p + "/input:x", p + "/config", p + "/config:x", p + "/input:x"},
       grpc::StatusCode::OK,
       "",
       {GAnyData::kScalar, GAnyData::kScalar}},
      {"an object without a statistic adds no element",
       {p + "/statistic:nobody", p + "/error:nobody"},
       grpc::StatusCode::OK,
       "",
       {}},
      {"model properties are refused even for a model that exists",
       {"/model:" + std::string(kDescribedModelId) + "/property:gain"},
       grpc::StatusCode::UNIMPLEMENTED,
       "Get model property not implemented, using GetData(/session/project/model) instead",
       {}},
      {"a path that no row names",
       {p + "/input:x", "/sess:1/proj:2/in:3"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "Url not supported: /sess:1/proj:2/in:3",
       {}},
      {"a path below the project that no row names is a cache entry",
       {p + "/xyz:1", p + "/worker:scale/port:q"},
       grpc::StatusCode::OK,
       "",
       {GAnyData::VALUE_NOT_SET, GAnyData::VALUE_NOT_SET}},
      {"no URL", {}, grpc::StatusCode::OK, "", {}},
  };
  for (const Case& c : kCases) {
    GetDataResponse response;
    const grpc::Status status = Get(harness, c.urls, &response);
    EXPECT_EQ(status.error_code(), c.code) << c.name << ": " << status.error_message();
    EXPECT_EQ(status.error_message(), c.message) << c.name;
    if (!status.ok()) continue;
    ASSERT_EQ(response.data_size(), static_cast<int>(c.values.size())) << c.name;
    for (size_t i = 0; i < c.values.size(); ++i) {
      EXPECT_EQ(response.data(static_cast<int>(i)).value_case(), c.values[i]) << c.name;
    }
  }
}

TEST(GetDataTest, FailuresNameTheirCause) {
  ServiceHarness harness;
  const ReadableObjects objects(harness);
  const std::string& p = objects.line;
  const std::string long_id(1000, 'w');
  struct Case {
    std::vector<std::string> urls;
    grpc::StatusCode code;
    std::string message;
  };
  const Case kCases[] = {
      // Every URL is checked before the first is read.
      {{p + "/input:x", p + "/worker:scale", p + "/worker/property:q"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + p + "/worker/property:q, /session/project/worker:id required"},
      {{p + "/input:x", p + "/worker:nobody"},
       grpc::StatusCode::INTERNAL,
       "Executor not found with id: nobody"},
      {{p + "/worker:" + long_id},
       grpc::StatusCode::INTERNAL,
       "Executor not found with id: " + std::string(256, 'w') + "..."},
      {{"/session:nobody/project:p/input:x"},
       grpc::StatusCode::INTERNAL,
       "Session not found: nobody"},
      {{p + "/worker:scale/property:nothing"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "property not found: nothing"},
      {{p + "/worker:scale/property:sink\\nothing"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "property not found: sink\\nothing"},
      {{p + "/worker:scale/property:nobody\\label"},
       grpc::StatusCode::INTERNAL,
       "Executor not found with id: nobody"},
      {{p + "/worker:scale/system:nothing"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "property not found: nothing"},
      {{p + "/property:nothing"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "property not found: nothing"},
      {{p + "/setting:x/property:y"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "property not found: " + p + "/setting:x/property:y"},
      {{objects.settings + "/setting:nothing"},
       grpc::StatusCode::INTERNAL,
       "Setting: nothing not found"},
      {{p + "/link:nothing"}, grpc::StatusCode::INTERNAL, "Link not found, link id: nothing"},
      {{"/model:nothing"}, grpc::StatusCode::INTERNAL, "Model not found: nothing"},
      {{p + "/model:nothing"}, grpc::StatusCode::INTERNAL, "Model not found: nothing"},
      {{"/app:nothing"}, grpc::StatusCode::INTERNAL, "Solution app 'nothing' not found"},
      {{"/app:" + std::string(kDemoAppId) + "/template:nothing"},
       grpc::StatusCode::INTERNAL,
       "Solution template 'nothing' not found"},
  };
  for (const Case& c : kCases) {
    CapturingLogger log;
    GetDataResponse response;
    const grpc::Status status = Get(harness, c.urls, &response);
    EXPECT_EQ(status.error_code(), c.code) << c.message;
    EXPECT_EQ(status.error_message(), c.message);
    // The failure is logged at error level; a refused URL check reads nothing.
    EXPECT_NE(log.Text().find("[error] " + c.message + "\n"), std::string::npos) << log.Text();
    if (c.code == grpc::StatusCode::INVALID_ARGUMENT && c.message.starts_with("Invalid url")) {
      EXPECT_EQ(log.Text().find("GetData: "), std::string::npos) << log.Text();
    }
  }
}

// Port data of a type no API message carries, as a plug-in might leave in a port.
class ContoursData : public PortData {
 public:
  ContoursData() : PortData(DataTypeContours::GetInstance()) {}
  void ResetData() override {}
};

TEST(GetDataTest, DataOfATypeWithoutAMessageFailsTheCall) {
  ServiceHarness harness;
  const std::string project_url = harness.NewProject();
  const std::shared_ptr<Project> project = harness.ProjectOf(project_url);
  project->SetCache("/input:x", std::make_shared<PortDataScalar>(std::string("x")));
  project->SetCache("/input:odd", std::make_shared<ContoursData>());
  GetDataRequest request;
  for (const char* key : {"/input:x", "/input:odd", "/input:x"}) request.add_url(project_url + key);
  // Behind the transport, to see the reply that a failed call does not send.
  GetDataResponse response;
  const grpc::Status status = harness.service().GetData(nullptr, &request, &response);
  EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL);
  EXPECT_EQ(status.error_message(), "Unsupported data type");
  ASSERT_EQ(response.data_size(), 2);
  EXPECT_EQ(response.data(1).url(), project_url + "/input:odd");
  EXPECT_EQ(response.data(1).modified(), project->GetCache("/input:odd").modified);
  EXPECT_EQ(response.data(1).value_case(), GAnyData::VALUE_NOT_SET);
}

}  // namespace
}  // namespace zelph::testing
