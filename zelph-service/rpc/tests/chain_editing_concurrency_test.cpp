// chain_editing_concurrency_test.cpp
//
// Clients that build and tear down parts of a chain while others run it asynchronously and
// read its lists, judged by the thread sanitizer: every edit waits for the run in progress,
// and the chain that remains is whole. Each client is a thread that calls the handlers as
// gRPC's server threads do (the harness explains why not through the transport).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

constexpr int kEditors = 2;
constexpr int kRunners = 2;
constexpr int kReaders = 4;
constexpr int kEditRounds = 15;

// No ASSERT in the clients: a client that stopped would leave the others waiting.
#define EXPECT_OK(call)                                                    \
  do {                                                                     \
    const grpc::Status status_ = (call);                                   \
    EXPECT_TRUE(status_.ok()) << #call << ": " << status_.error_message(); \
  } while (false)

std::string PortUrl(const std::string& project, const std::string& worker,
                    const std::string& port) {
  return project + "/worker:" + worker + "/port:" + port;
}

// One round of one editor: a Scale worker joins the chain behind the source, is re-plugged
// behind the scale, and goes again with its link.
void EditRound(ZelphServiceV2Impl& service, Project& project, const std::string& p) {
  CreateWorkerRequest create;
  create.set_url(p);
  create.set_model_url("/model:" + std::string(kScaleModel));
  CreateWorkerResponse created;
  EXPECT_OK(service.CreateWorker(nullptr, &create, &created));
  if (created.url().empty()) return;
  const std::string worker_id = created.url().substr(created.url().rfind(':') + 1);
  const std::string input = project.GetWorker(worker_id)->GetPorts().front()->GetId();

  CreateLinkRequest link;
  link.set_url(p);
  link.set_src_url(PortUrl(p, "source", kLineSourceOutput));
  link.set_dst_url(PortUrl(p, worker_id, input));
  CreateLinkResponse linked;
  EXPECT_OK(service.CreateLink(nullptr, &link, &linked));
  UpdateLinkRequest update;
  update.set_url(linked.url());
  update.set_src_url(PortUrl(p, "scale", kLineScaleOutput));
  update.set_dst_url(link.dst_url());
  UpdateLinkResponse updated;
  EXPECT_OK(service.UpdateLink(nullptr, &update, &updated));

  RemoveRequest remove;
  remove.add_url(created.url());
  RemoveResponse removed;
  EXPECT_OK(service.Remove(nullptr, &remove, &removed));
  EXPECT_EQ(std::vector<std::string>(removed.removed_url().begin(), removed.removed_url().end()),
            (std::vector<std::string>{linked.url(), created.url()}));
}

// Every worker the chain's links name belongs to the chain.
void ExpectWholeChain(Project& project, size_t workers, size_t links) {
  std::shared_lock lock(project.GetLock());
  const auto chain_workers = project.GetChain()->GetWorkers();
  EXPECT_EQ(chain_workers.size(), workers);
  EXPECT_EQ(project.GetChain()->GetLinks().size(), links);
  for (Link* link : project.GetChain()->GetLinks()) {
    for (const auto& end : {link->GetSrcWorker(), link->GetDstWorker()}) {
      EXPECT_NE(std::find(chain_workers.begin(), chain_workers.end(), end), chain_workers.end());
    }
  }
}

TEST(ChainEditingConcurrencyTest, EditsBesideAsynchronousRunsAndListReaders) {
  ServiceHarness harness(Serving::kNone);
  ZelphServiceV2Impl& service = harness.service();
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(p);

  std::atomic<int> editing{kEditors};
  std::vector<std::thread> clients;
  for (int editor = 0; editor < kEditors; ++editor) {
    clients.emplace_back([&] {
      for (int round = 0; round < kEditRounds; ++round) EditRound(service, *project, p);
      editing.fetch_sub(1);
    });
  }
  for (int runner = 0; runner < kRunners; ++runner) {
    clients.emplace_back([&] {
      ExecuteCommandRequest run;
      run.add_url(p);
      run.set_command(kEvaluateAsync);
      while (editing.load() > 0) {
        ExecuteCommandResponse response;
        EXPECT_OK(service.ExecuteCommand(nullptr, &run, &response));
        EXPECT_TRUE(response.status() == kOk || response.status() == kCancelled);
      }
    });
  }
  for (int reader = 0; reader < kReaders; ++reader) {
    clients.emplace_back([&] {
      const std::string lists[] = {p + "/worker", p + "/link",    p + "/statistic",
                                   p + "/status", p + "/setting", p + "/worker:scale/system",
                                   p + "/cache"};
      ExistsRequest exists;
      exists.add_url(p + "/link:" + kLineFirstLink);
      exists.add_url(p + "/worker:" + kLineScaleId);
      while (editing.load() > 0) {
        for (const std::string& url : lists) {
          GetListRequest request;
          request.set_url(url);
          request.mutable_resource_filter()->set_modified_after(0);
          GetListResponse response;
          EXPECT_OK(service.GetList(nullptr, &request, &response));
        }
        ExistsResponse answer;
        EXPECT_OK(service.Exists(nullptr, &exists, &answer));
        EXPECT_TRUE(answer.exists(0).bool_val() && answer.exists(1).bool_val());
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(20)));
  ExpectWholeChain(*project, 3, 2);
}

TEST(ChainEditingConcurrencyTest, EditsWaitForTheRunInProgress) {
  ServiceHarness harness(Serving::kNone);
  ZelphServiceV2Impl& service = harness.service();
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "slow_line.json");
  GetListRequest links;
  links.set_url(p + "/link");
  GetListResponse listed;
  ASSERT_TRUE(service.GetList(nullptr, &links, &listed).ok());
  ASSERT_EQ(listed.url_size(), 2);
  const std::string first_link = listed.url(0);  // source -> slow
  Gate& gate = TestPluginControl::Get().SlowGate();
  gate.Close();
  ExecuteCommandRequest run;
  run.add_url(p);
  run.set_command(kEvaluateAsync);
  ExecuteCommandResponse started;
  ASSERT_TRUE(service.ExecuteCommand(nullptr, &run, &started).ok());
  ASSERT_EQ(started.status(), kOk);
  ASSERT_TRUE(gate.WaitForInside(1));

  // Readers go on beside the run, until an edit waits: a waiting edit holds new readers
  // back, so that a stream of them cannot keep it out for ever.
  GetListRequest list;
  list.set_url(p + "/worker");
  GetListResponse workers;
  EXPECT_TRUE(service.GetList(nullptr, &list, &workers).ok());
  EXPECT_EQ(workers.url_size(), 3);
  auto create_worker = std::async(std::launch::async, [&] {
    CreateWorkerRequest request;
    request.set_url(p);
    request.set_model_url("/model:" + std::string(kScaleModel));
    CreateWorkerResponse response;
    return service.CreateWorker(nullptr, &request, &response);
  });
  auto update_link = std::async(std::launch::async, [&] {
    UpdateLinkRequest request;
    request.set_url(first_link);  // plugged again where it is
    request.set_src_url(PortUrl(p, "source", kSlowLineSourceOutput));
    request.set_dst_url(PortUrl(p, "slow", kSlowLineSlowInput));
    UpdateLinkResponse response;
    return service.UpdateLink(nullptr, &request, &response);
  });
  auto remove_worker = std::async(std::launch::async, [&] {
    RemoveRequest request;
    request.add_url(p + "/worker:" + kSlowLineSinkId);
    RemoveResponse response;
    return service.Remove(nullptr, &request, &response);
  });
  for (auto* edit : {&create_worker, &update_link, &remove_worker}) {
    EXPECT_EQ(edit->wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  }
  gate.Open();
  for (auto* edit : {&create_worker, &update_link, &remove_worker}) EXPECT_OK(edit->get());
  EXPECT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(20)));
  ExpectWholeChain(*harness.ProjectOf(p), 3, 1);
}

}  // namespace
}  // namespace zelph::testing
