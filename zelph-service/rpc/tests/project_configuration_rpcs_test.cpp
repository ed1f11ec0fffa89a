// project_configuration_rpcs_test.cpp
//
// GetProjectConfiguration and UploadProjectConfiguration through the client stub: a
// configuration read, changed and uploaded back; and the refusals with their own codes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "service_harness.h"
#include "status_cases.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

struct Read {
  grpc::Status status;
  GetProjectConfigurationResponse response;
};

Read GetConfiguration(ServiceHarness& harness, const std::string& url) {
  GetProjectConfigurationRequest request;
  request.set_url(url);
  Read read;
  read.status = harness.Call(&Stub::GetProjectConfiguration, request, &read.response);
  return read;
}

grpc::Status Upload(ServiceHarness& harness, const std::string& url, const std::string* document) {
  UploadProjectConfigurationRequest request;
  request.set_url(url);
  if (document != nullptr) request.mutable_file()->set_data(*document);
  return harness.Call(&Stub::UploadProjectConfiguration, request);
}

// The main-settings chain's document keeps the settings' values last.
std::string SettingsPart(const std::string& document) {
  return document.substr(document.rfind("\"settings\""));
}

TEST(ProjectConfigurationRpcsTest, ReadChangedAndUploadedBack) {
  ServiceHarness harness;
  const std::string m = harness.NewProject();
  harness.UploadChain(m, "main_settings.json");
  const Read read = GetConfiguration(harness, m);
  ASSERT_TRUE(read.status.ok()) << read.status.error_message();
  ASSERT_EQ(read.response.any().value_case(), GAnyData::kStringVal);
  EXPECT_TRUE(read.response.any().url().empty());
  EXPECT_EQ(read.response.any().modified(), 0);
  std::string document = read.response.any().string_val();
  EXPECT_EQ(GetConfiguration(harness, m + "/worker:dashboard").response.any().string_val(),
            document);

  // Unchanged, then with a new threshold.
  ASSERT_TRUE(Upload(harness, m, &document).ok());
  const std::string old_value = "\"threshold\": 9";
  const size_t at = document.rfind(old_value);
  ASSERT_NE(at, std::string::npos);
  document.replace(at, old_value.size(), "\"threshold\": 21");
  const grpc::Status uploaded = Upload(harness, m, &document);
  ASSERT_TRUE(uploaded.ok()) << uploaded.error_message();
  const std::string read_back = GetConfiguration(harness, m).response.any().string_val();
  EXPECT_EQ(SettingsPart(read_back), SettingsPart(document));

  GetDataRequest get;
  get.add_url(m + "/setting:" + std::string(kMainWorkerId) + "/property:threshold");
  GetDataResponse value;
  ASSERT_TRUE(harness.Call(&Stub::GetData, get, &value).ok());
  ASSERT_EQ(value.data_size(), 1);
  EXPECT_EQ(value.data(0).int32_val(), 21);
}

TEST(ProjectConfigurationRpcsTest, Refusals) {
  ServiceHarness harness;
  const std::string m = harness.NewProject();
  harness.UploadChain(m, "main_settings.json");
  const std::string empty = harness.NewProject();
  const std::string busy = harness.NewProject();
  harness.UploadChain(busy, "slow.json");
  const std::string session = m.substr(0, m.find("/project"));
  const std::string document = GetConfiguration(harness, m).response.any().string_val();
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');

  // Before a chain is loaded the document is empty text.
  const Read none = GetConfiguration(harness, empty);
  ASSERT_TRUE(none.status.ok());
  EXPECT_EQ(none.response.any().value_case(), GAnyData::kStringVal);
  EXPECT_EQ(none.response.any().string_val(), "");

  TestPluginControl::Get().SlowGate().Close();
  ExecuteCommandRequest run;
  run.add_url(busy);
  run.set_command(kEvaluateAsync);
  ASSERT_TRUE(harness.Call(&Stub::ExecuteCommand, run).ok());
  ASSERT_TRUE(TestPluginControl::Get().SlowGate().WaitForInside(1));

  const StatusCase kCases[] = {
      {[&] { return GetConfiguration(harness, "/session:nothing/project:p").status; }, kInternal,
       "Session not found: nothing"},
      {[&] { return GetConfiguration(harness, "").status; }, kInternal, "Session not found: "},
      {[&] { return Upload(harness, m + "/worker:dashboard", &document); }, kInternal,
       "Invalid resource url. /session:id/project:id supported"},
      {[&] { return Upload(harness, "/session/project", &document); }, kInvalidArgument,
       "Invalid url: /session/project, /session:id required"},
      {[&] { return Upload(harness, session + "/project:nothing", &document); }, kInternal,
       "Project not found: nothing"},
      {[&] { return Upload(harness, m, nullptr); }, kInternal,
       "Failed parse project configuration"},
      {[&] { return Upload(harness, m, &deep); }, kInternal, "Failed parse project configuration"},
      {[&] { return Upload(harness, empty, &document); }, kInternal,
       "Current configuration is empty"},
      {[&] { return Upload(harness, busy, &document); }, kInternal,
       "Chain not ready to upload configuration"},
  };
  ExpectStatuses(kCases);
  TestPluginControl::Get().SlowGate().Open();
  EXPECT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(20)));
  // The refused uploads left the configuration as it was.
  EXPECT_EQ(GetConfiguration(harness, m).response.any().string_val(), document);
}

}  // namespace
}  // namespace zelph::testing
