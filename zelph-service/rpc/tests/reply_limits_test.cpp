// reply_limits_test.cpp
//
// Replies through the client stub against a small budget of reply bytes in flight: a reply
// past its limit is refused with RESOURCE_EXHAUSTED and the service keeps answering; a
// client that stops reading holds budget until its call ends, and calls past the budget are
// refused meanwhile, then answered again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "readable_objects.h"
#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/rpc/reply_budget.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"
#include "zelph/testing/unread_reply.h"
#include "zelph/testing/wait_until.h"

namespace zelph::testing {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A one-channel matrix of `bytes` bytes stored at `url` through SetData.
void StoreMatrix(ServiceHarness& harness, const std::string& url, std::uint64_t bytes) {
  SetDataRequest request;
  request.set_url(url);
  request.mutable_data()->set_url(url);
  GMat* mat = request.mutable_data()->mutable_mat();
  mat->set_depth(kDepth8U);
  mat->set_channels(1);
  mat->add_dims(static_cast<std::int64_t>(bytes));
  mat->set_buffer(Pattern(bytes));
  const grpc::Status status = harness.Call(&Stub::SetData, request);
  ASSERT_TRUE(status.ok()) << status.error_code() << " " << status.error_message();
}

GetDataRequest Named(const std::string& url, int times) {
  GetDataRequest request;
  for (int i = 0; i < times; ++i) request.add_url(url);
  return request;
}

TEST(ReplyLimitsTest, AReplyPastItsLimitIsRefusedAndTheServiceKeepsAnswering) {
  // Each reply may have half the budget: 2 MiB.
  ServiceHarness harness(Serving::kLoopback, 4 * kMiB);
  const rpc::ReplyBudget& budget = harness.service().GetReplyBudget();
  const std::string project = harness.NewProject();
  const std::string matrix = project + "/input:matrix";
  const std::string long_id(800 * 1024, 'i');

  const std::string session = project.substr(0, project.find("/project"));
  // What a refused call must have left as it was: the session's projects, the project's
  // workers and links, its chain and its configuration.
  const auto listed = [&](const std::string& url) {
    GetListRequest list;
    list.set_url(url);
    GetListResponse response;
    EXPECT_TRUE(harness.Call(&Stub::GetList, list, &response).ok()) << url;
    return response.url_size();
  };
  const auto state = [&] {
    const std::shared_ptr<Project> loaded = harness.ProjectOf(project);
    return std::to_string(listed(session + "/project")) + " projects, " +
           std::to_string(listed(project + "/worker")) + " workers, " +
           std::to_string(listed(project + "/link")) + " links, chain " +
           loaded->GetChain()->GetId() + ", configuration " + loaded->GetConfigurationJson();
  };
  harness.UploadChain(project, "main_settings.json");
  // A configuration whose document passes the limit once written.
  UploadProjectConfigurationRequest tuned;
  tuned.set_url(project);
  std::string document = harness.ProjectOf(project)->GetConfigurationJson();
  const std::string caption = "\"caption\": \"";
  ASSERT_NE(document.find(caption), std::string::npos) << document;
  document.insert(document.find(caption) + caption.size(), long_id + long_id + long_id);
  tuned.mutable_file()->set_data(document);
  const grpc::Status tuned_status = harness.Call(&Stub::UploadProjectConfiguration, tuned);
  ASSERT_TRUE(tuned_status.ok()) << tuned_status.error_message();
  StoreMatrix(harness, matrix, kMiB);

  struct Case {
    const char* name;
    std::function<grpc::Status()> call;
  };
  const Case cases[] = {
      {"one matrix named three times",
       [&] { return harness.Call(&Stub::GetData, Named(matrix, 3)); }},
      {"cache entries of long keys listed",
       [&] {
         for (int i = 0; i < 3; ++i) {
           harness.ProjectOf(project)->SetCache("/output:" + long_id + std::to_string(i),
                                                std::make_shared<PortDataScalar>(std::string("1")));
         }
         GetListRequest list;
         list.set_url(project + "/output");
         return harness.Call(&Stub::GetList, list);
       }},
      {"long URLs asked for",
       [&] {
         ExistsRequest exists;
         for (int i = 0; i < 3; ++i) exists.add_url("/session:" + long_id);
         return harness.Call(&Stub::Exists, exists);
       }},
      // The handlers whose reply is built whole repeat their requests: those are counted before
      // anything changes.
      {"a project of a long URL created",
       [&] {
         CreateProjectRequest create;
         create.set_url(session + "/project:" + long_id + long_id + long_id);
         return harness.Call(&Stub::CreateProject, create);
       }},
      {"a worker of a long URL created",
       [&] {
         CreateWorkerRequest create;
         create.set_url(project + "/worker:" + long_id + long_id + long_id);
         create.set_model_url(std::string("/model:") + kScaleModel);
         return harness.Call(&Stub::CreateWorker, create);
       }},
      {"a link of long port URLs created",
       [&] {
         CreateLinkRequest create;
         create.set_url(project);
         create.set_src_url(project + "/worker:value/port:" + long_id + long_id);
         create.set_dst_url(project + "/worker:value/port:" + long_id + long_id);
         return harness.Call(&Stub::CreateLink, create);
       }},
      {"a long chain text uploaded",
       [&] {
         UploadProjectRequest upload;
         upload.set_url(project);
         upload.mutable_file()->set_data(std::string(3 * 800 * 1024, ' ') + ChainText("line.json"));
         return harness.Call(&Stub::UploadProject, upload);
       }},
      {"a long configuration document read",
       [&] {
         GetProjectConfigurationRequest get;
         get.set_url(project);
         return harness.Call(&Stub::GetProjectConfiguration, get);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = state();
    const grpc::Status status = c.call();
    EXPECT_EQ(status.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
    EXPECT_EQ(status.error_message(), "reply would exceed 2097152 bytes");
    EXPECT_EQ(state(), before);
    // The refused call holds nothing (the replies before it give back theirs once gRPC has
    // finished sending them), and the next one is answered.
    EXPECT_TRUE(WaitUntil([&] { return budget.InFlight() == 0; }));
    GetDataResponse response;
    ASSERT_TRUE(harness.Call(&Stub::GetData, Named(matrix, 1), &response).ok());
    ASSERT_EQ(response.data_size(), 1);
    EXPECT_EQ(response.data(0).mat().buffer(), Pattern(kMiB));
  }
}

TEST(ReplyLimitsTest, UnreadRepliesHoldTheBudgetUntilTheirCallsEnd) {
  // One reply of the matrix takes 16 MiB and more: a second does not fit beside it.
  ServiceHarness harness(Serving::kLoopback, 24 * kMiB);
  const rpc::ReplyBudget& budget = harness.service().GetReplyBudget();
  const std::string project = harness.NewProject();
  const std::string matrix = project + "/input:matrix";
  StoreMatrix(harness, matrix, 8 * kMiB);

  auto unread = std::make_unique<UnreadReply>(harness.stub(), Named(matrix, 1));
  ASSERT_TRUE(WaitUntil([&] { return budget.InFlight() > 16 * kMiB; }));

  const grpc::Status refused = harness.Call(&Stub::GetData, Named(matrix, 1));
  EXPECT_EQ(refused.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
  EXPECT_EQ(refused.error_message(), "replies in flight would exceed 25165824 bytes");
  // Small replies still fit.
  GetListRequest list;
  list.set_url("/session");
  EXPECT_TRUE(harness.Call(&Stub::GetList, list).ok());

  unread.reset();
  ASSERT_TRUE(WaitUntil([&] { return budget.InFlight() == 0; }));
  GetDataResponse response;
  ASSERT_TRUE(harness.Call(&Stub::GetData, Named(matrix, 1), &response).ok());
  EXPECT_EQ(response.data(0).mat().buffer().size(), 8 * kMiB);
}

}  // namespace
}  // namespace zelph::testing
