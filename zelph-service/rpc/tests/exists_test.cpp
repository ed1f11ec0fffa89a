// exists_test.cpp
//
// Exists through the client stub: each kind of object present and absent, project data keyed
// as GetData reads it, and the URL checks before anything is looked up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capturing_logger.h"
#include "readable_objects.h"
#include "service_harness.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

grpc::Status Exists(ServiceHarness& harness, const std::vector<std::string>& urls,
                    ExistsResponse* response) {
  ExistsRequest request;
  for (const std::string& url : urls) request.add_url(url);
  return harness.Call(&Stub::Exists, request, response);
}

TEST(ExistsTest, EachKindPresentAndAbsent) {
  ServiceHarness harness;
  const ReadableObjects objects(harness);
  const std::string& p = objects.line;
  const std::string& m = objects.settings;
  const std::string session = p.substr(0, p.find("/project"));
  // A worker's input is its own entry, not the project input of the same name.
  SetDataRequest input;
  input.set_url(p + "/worker:scale/input:input");
  input.mutable_data()->set_url("d");
  input.mutable_data()->set_int32_val(1);
  ASSERT_TRUE(harness.Call(&Stub::SetData, input).ok());
  objects.project->SetCache("/settings:x", std::make_shared<PortDataScalar>(std::string("s")));

  struct Case {
    std::string url;
    bool exists;
  };
  const Case kCases[] = {
      {"/model:" + std::string(kScaleModel), true},
      {"/model:nothing", false},
      {session, true},
      {"/session:nothing", false},
      {p, true},
      {session + "/project:nothing", false},
      {"/session:nothing/project:p/input:x", false},
      {p + "/statistic:" + kLineScaleId, true},
      {p + "/statistic:nobody", false},
      {m + "/setting:" + kMainWorkerId, true},
      {m + "/setting:nothing", false},
      {m + "/setting:" + kMainWorkerId + "/property:threshold", true},
      {m + "/setting:" + kMainWorkerId + "/property:nothing", false},
      {p + "/worker:scale", true},
      {p + "/worker:" + kLineScaleId, true},
      {p + "/worker:nobody", false},
      {p + "/worker:scale/system:weight", true},
      {p + "/worker:scale/system:nothing", false},
      {p + "/worker:scale/property:gain", true},
      {p + "/worker:scale/property:nothing", false},
      {p + "/worker:nobody/property:gain", false},
      {p + "/link:" + kLineFirstLink, true},
      {p + "/link:nothing", false},
      {p + "/property:chain.name", true},
      {p + "/property:nothing", false},
      {p + "/input:x", true},
      {p + "/input:y", false},
      {p + "/worker:scale/output:output", true},
      {p + "/worker:scale/input:input", true},
      {p + "/input:input", false},
      {p + "/preview:" + kLineScaleId, true},
      {p + "/in:x", true},
      {p + "/settings:x", true},
      {p + "/status", false},
      {p + "/config", false},
      {"/app:" + std::string(kDemoAppId), false},
      {"/app:" + std::string(kDemoAppId) + "/template:" + kFastTemplateId, false},
  };
  std::vector<std::string> urls;
  for (const Case& c : kCases) urls.push_back(c.url);
  CapturingLogger log(ZelphSeverityLevel::kError);
  ExistsResponse response;
  const grpc::Status status = Exists(harness, urls, &response);
  ASSERT_TRUE(status.ok()) << status.error_message();
  ASSERT_EQ(response.exists_size(), static_cast<int>(std::size(kCases)));
  for (size_t i = 0; i < std::size(kCases); ++i) {
    const GAnyData& element = response.exists(static_cast<int>(i));
    EXPECT_EQ(element.url(), kCases[i].url);
    EXPECT_EQ(element.modified(), 0);
    ASSERT_EQ(element.value_case(), GAnyData::kBoolVal) << kCases[i].url;
    EXPECT_EQ(element.bool_val(), kCases[i].exists) << kCases[i].url;
  }
  // Nothing that does not exist is an error.
  EXPECT_EQ(log.Text(), "");
}

TEST(ExistsTest, EveryUrlIsCheckedBeforeAnyIsLookedUp) {
  ServiceHarness harness;
  const std::string project = harness.NewProject();
  CapturingLogger log;
  ExistsResponse response;
  const grpc::Status status = Exists(harness, {project, project + "/link"}, &response);
  EXPECT_EQ(status.error_code(), grpc::StatusCode::INVALID_ARGUMENT);
  EXPECT_EQ(status.error_message(),
            "Invalid url: " + project + "/link, /session/project/link:id required");
  EXPECT_EQ(log.Text(), "[error] " + status.error_message() + "\n");

  EXPECT_TRUE(Exists(harness, {}, &response).ok());
  EXPECT_EQ(response.exists_size(), 0);
}

}  // namespace
}  // namespace zelph::testing
