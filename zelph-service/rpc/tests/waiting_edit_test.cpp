// waiting_edit_test.cpp
//
// Edits that wait behind a run give up at their client's deadline or cancellation: the client
// learns it, the server's thread stops waiting while the run goes on, and the chain is left
// as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"
#include "zelph/projects/rw_lock.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/projects/wait_limit.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"
#include "zelph/testing/wait_until.h"

namespace zelph::testing {
namespace {

// Whether a writer waits for the lock while a reader (the run) holds it: a new reader is then
// refused.
bool WriterWaits(RwLock& lock) {
  if (!lock.try_lock_shared()) return true;
  lock.unlock_shared();
  return false;
}

std::string PortUrl(const std::string& project, const std::string& worker,
                    const std::string& port) {
  return project + "/worker:" + worker + "/port:" + port;
}

TEST(WaitingEditTest, AnEditBehindARunGivesUpWhenItsClientDoesAndChangesNothing) {
  ServiceHarness harness;
  Gate& gate = TestPluginControl::Get().SlowGate();
  struct Edit {
    const char* name;
    std::function<grpc::Status(const std::string& project, grpc::ClientContext&)> call;
  };
  const Edit edits[] = {
      {"CreateWorker",
       [&](const std::string& p, grpc::ClientContext& context) {
         CreateWorkerRequest request;
         request.set_url(p);
         request.set_model_url(std::string("/model:") + kScaleModel);
         CreateWorkerResponse response;
         return harness.stub().CreateWorker(&context, request, &response);
       }},
      {"CreateLink",
       [&](const std::string& p, grpc::ClientContext& context) {
         CreateLinkRequest request;
         request.set_url(p);
         request.set_src_url(PortUrl(p, kSlowLineSourceId, kSlowLineSourceOutput));
         request.set_dst_url(PortUrl(p, kSlowLineSinkId, kSlowLineSinkInput));
         CreateLinkResponse response;
         return harness.stub().CreateLink(&context, request, &response);
       }},
      {"SetData of the chain's name",
       [&](const std::string& p, grpc::ClientContext& context) {
         SetDataRequest request;
         request.set_url(p + "/property:chain.name");
         request.mutable_data()->set_string_val("renamed");
         SetDataResponse response;
         return harness.stub().SetData(&context, request, &response);
       }},
      {"Remove link",
       [&](const std::string& p, grpc::ClientContext& context) {
         RemoveRequest request;
         request.add_url(p + "/link:1a2b0000-0000-4000-8000-0000000001e1");
         RemoveResponse response;
         return harness.stub().Remove(&context, request, &response);
       }},
  };
  for (const Edit& edit : edits) {
    for (const WaitEnd end : {WaitEnd::kDeadline, WaitEnd::kCancelled}) {
      SCOPED_TRACE(::testing::Message()
                   << edit.name << (end == WaitEnd::kDeadline ? ", deadline" : ", cancel"));
      const std::string p = harness.NewProject();
      harness.UploadChain(p, "slow_line.json");
      const std::shared_ptr<Project> project = harness.ProjectOf(p);
      gate.Close();
      ExecuteCommandRequest run;
      run.add_url(p);
      run.set_command(kEvaluateAsync);
      ASSERT_TRUE(harness.Call(&Stub::ExecuteCommand, run).ok());
      ASSERT_TRUE(gate.WaitForInside(1));

      grpc::ClientContext context;
      context.set_deadline(std::chrono::system_clock::now() +
                           (end == WaitEnd::kDeadline ? std::chrono::milliseconds(200)
                                                      : std::chrono::milliseconds(60000)));
      grpc::Status status;
      std::thread client([&] { status = edit.call(p, context); });
      if (end == WaitEnd::kCancelled) {
        EXPECT_TRUE(WaitUntil([&] { return WriterWaits(project->GetLock()); }));
        context.TryCancel();
      }
      client.join();
      EXPECT_EQ(status.error_code(), end == WaitEnd::kDeadline ? grpc::StatusCode::DEADLINE_EXCEEDED
                                                               : grpc::StatusCode::CANCELLED);
      // The server's thread stopped waiting while the run still holds the project.
      EXPECT_TRUE(WaitUntil([&] { return !WriterWaits(project->GetLock()); }));
      EXPECT_EQ(gate.Inside(), 1);

      gate.Open();
      ASSERT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(20)));
      EXPECT_EQ(project->GetChain()->GetWorkers().size(), 3u);
      EXPECT_EQ(project->GetChain()->GetLinks().size(), 2u);
      EXPECT_EQ(project->GetChain()->GetName(), "Slow line");
      EXPECT_EQ(project->GetChainProperties()->GetValueAsString("chain.name", ""), "Slow line");
    }
  }
  gate.Reset();
}

}  // namespace
}  // namespace zelph::testing
