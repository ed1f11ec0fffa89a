// get_data_worker_test.cpp
//
// GetData of a worker through the client stub: its model as a GModel whose controls carry the
// worker's ids and URLs, its own ports, its worker document; and a worker without a model.
#include <google/protobuf/util/message_differencer.h>
#include <gtest/gtest.h>

#include <boost/uuid/string_generator.hpp>

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "described_model.h"
#include "quiet_worker.h"
#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/projects/project.h"

namespace zelph::testing {
namespace {

using google::protobuf::util::MessageDifferencer;

GAnyData GetOne(ServiceHarness& harness, const std::string& url) {
  GetDataRequest request;
  request.add_url(url);
  GetDataResponse response;
  const grpc::Status status = harness.Call(&Stub::GetData, request, &response);
  EXPECT_TRUE(status.ok()) << status.error_message();
  EXPECT_EQ(response.data_size(), 1);
  return response.data_size() == 1 ? response.data(0) : GAnyData();
}

std::string UploadDescribedChain(ServiceHarness& harness) {
  RegisterDescribedModel();
  const std::string project_url = harness.NewProject();
  UploadProjectRequest request;
  request.set_url(project_url);
  request.mutable_file()->set_data(DescribedChainJson());
  request.mutable_file()->set_path("described.json");
  const grpc::Status status = harness.Call(&Stub::UploadProject, request);
  EXPECT_TRUE(status.ok()) << status.error_message();
  return project_url;
}

TEST(GetDataWorkerTest, ModelControlsCarryTheWorkersIdsAndUrls) {
  ServiceHarness harness;
  const std::string project_url = UploadDescribedChain(harness);
  const std::string worker_url = project_url + "/worker:described";
  const GWorker worker = GetOne(harness, worker_url).worker();

  EXPECT_EQ(worker.id(), kDescribedWorkerId);
  EXPECT_EQ(worker.name(), kDescribedModelName);
  EXPECT_EQ(worker.system_name(), "described");
  EXPECT_EQ(worker.result_info(), "{}");
  GModel expected = DescribedGModel();
  for (GControl& control : *expected.mutable_controls()) {
    control.set_id(std::string(kDescribedWorkerId) + "/" + control.name());
    control.set_url(worker_url + "/property:" + control.name());
  }
  std::string difference;
  MessageDifferencer differencer;
  differencer.ReportDifferencesToString(&difference);
  EXPECT_TRUE(differencer.Compare(expected, worker.model())) << difference;

  // The description's five ports, then an input and an output control port per control,
  // the two that clients never see included: the worker has them all.
  ASSERT_EQ(worker.ports_size(), 5 + 2 * 10);
  const PortKind kKinds[] = {kPortInput, kPortOutput, kPortInputControl, kPortOutputControl,
                             kPortUnknown};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(worker.ports(i).name(), expected.ports(i).name());
    EXPECT_EQ(worker.ports(i).port_kind(), kKinds[i]);
    EXPECT_FALSE(worker.ports(i).id().empty());
  }
  EXPECT_EQ(worker.ports(5).port_kind(), kPortInputControl);
  EXPECT_EQ(worker.ports(6).port_kind(), kPortOutputControl);
  EXPECT_TRUE(worker.tmp_json().starts_with(
      std::string(R"({"app":"zelph-worker","id":")") + kDescribedWorkerId +
      R"(","executor_id":"de5c0000-0000-4000-8000-000000000001","executor_name":"Described caption","system_name":"described","ports":[)"))
      << worker.tmp_json();
  EXPECT_TRUE(worker.tmp_json().ends_with(R"(],"visible_result_meta_information":{}})"))
      << worker.tmp_json();
}

// A plug-in may add a worker it made without a model; reading it must not follow the empty
// model pointer.
TEST(GetDataWorkerTest, AWorkerWithoutAModelHasNoModelField) {
  ServiceHarness harness;
  const std::string project_url = harness.NewProject();
  harness.UploadChain(project_url, "line.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(project_url);
  const std::string id = "de5c0000-0000-4000-8000-0000000000b1";
  {
    std::unique_lock lock(project->GetLock());
    project->GetChain()->AddWorker(
        std::make_shared<QuietWorker>(boost::uuids::string_generator()(id)));
  }
  const GAnyData element = GetOne(harness, project_url + "/worker:" + id);
  ASSERT_EQ(element.value_case(), GAnyData::kWorker);
  EXPECT_EQ(element.worker().id(), id);
  EXPECT_FALSE(element.worker().has_model());
  EXPECT_EQ(element.worker().ports_size(), 0);
  EXPECT_NE(element.worker().tmp_json().find(R"("executor_id":"")"), std::string::npos);
}

}  // namespace
}  // namespace zelph::testing
