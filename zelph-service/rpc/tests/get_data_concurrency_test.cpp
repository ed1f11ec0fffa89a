// get_data_concurrency_test.cpp
//
// Reads beside writers, judged by the thread sanitizer: GetData and Exists of a link while
// other clients unplug, remove, re-create and reload links; GetData of everything a run
// writes from eight clients while the project runs. Each client is a thread that calls the
// handlers as gRPC's server threads do (the harness explains why not through the transport).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/link.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {
namespace {

constexpr int kReaders = 4;
constexpr int kEditRounds = 60;

// Takes the line's first link out and puts one of the same id and ends back; every fifth
// round re-plugs its ends instead, and every tenth reloads the whole chain, which frees the
// links taken out before.
void EditFirstLink(ServiceHarness& harness, const std::string& project_url, int round) {
  const std::shared_ptr<Project> project = harness.ProjectOf(project_url);
  if (round % 10 == 9) {
    harness.UploadChain(project_url, "line.json");
    return;
  }
  if (round % 5 == 4) {
    project->UpdateLink(kLineFirstLink, "", "");
    project->UpdateLink(kLineFirstLink, kLineSourceOutput, kLineScaleInput);
    return;
  }
  {
    std::unique_lock lock(project->GetLock());
    project->GetChain()->RemoveLink(kLineFirstLink);
  }
  const std::string link =
      project->CreateLink(kLineSourceId, kLineSourceOutput, kLineScaleId, kLineScaleInput);
  std::unique_lock lock(project->GetLock());
  project->GetChain()->FindLink(link)->SetId(kLineFirstLink);
}

TEST(GetDataConcurrencyTest, LinkReadsBesideLinkEdits) {
  ServiceHarness harness(Serving::kNone);
  const std::string project_url = harness.NewProject();
  harness.UploadChain(project_url, "line.json");
  const std::string link_url = project_url + "/link:" + kLineFirstLink;
  const std::string full = std::string(R"({"id":")") + kLineFirstLink + R"(","src_worker_id":")" +
                           kLineSourceId + R"(","src_port_id":")" + kLineSourceOutput +
                           R"(","dest_worker_id":")" + kLineScaleId + R"(","dest_port_id":")" +
                           kLineScaleInput + R"("})";

  std::atomic<bool> editing{true};
  std::atomic<int> reads{0};
  std::atomic<int> complete_reads{0};
  std::vector<std::thread> readers;
  for (int reader = 0; reader < kReaders; ++reader) {
    readers.emplace_back([&] {
      GetDataRequest request;
      request.add_url(link_url);
      ExistsRequest exists;
      exists.add_url(link_url);
      while (editing.load()) {
        GetDataResponse response;
        const grpc::Status status = harness.service().GetData(nullptr, &request, &response);
        // Between a removal and the re-creation the link is missing; otherwise it is read
        // whole, or with the ends that an update has not put back yet.
        // (No ASSERT here: a reader that stopped would leave the editor waiting.)
        if (status.ok() && response.data_size() == 1) {
          const std::string& json = response.data(0).string_val();
          EXPECT_TRUE(json.starts_with(std::string(R"({"id":")") + kLineFirstLink)) << json;
          if (json == full) complete_reads.fetch_add(1);
        } else {
          EXPECT_EQ(status.error_message(),
                    std::string("Link not found, link id: ") + kLineFirstLink);
        }
        ExistsResponse answer;
        EXPECT_TRUE(harness.service().Exists(nullptr, &exists, &answer).ok());
        reads.fetch_add(1);
      }
    });
  }
  // Every edit waits for a few reads, so that reads and edits overlap in every round.
  for (int round = 0; round < kEditRounds; ++round) {
    const int before = reads.load();
    while (reads.load() < before + kReaders) std::this_thread::yield();
    EditFirstLink(harness, project_url, round);
  }
  editing.store(false);
  for (std::thread& reader : readers) reader.join();
  EXPECT_GT(complete_reads.load(), 0);
}

void Set(ZelphServiceV2Impl& service, const std::string& url, GAnyData value) {
  SetDataRequest request;
  request.set_url(url);
  *request.mutable_data() = std::move(value);
  request.mutable_data()->set_url("d");
  SetDataResponse response;
  const grpc::Status status = service.SetData(nullptr, &request, &response);
  EXPECT_TRUE(status.ok()) << url << ": " << status.error_message();
}

GAnyData Image(int round) {
  GAnyData value;
  GMat* mat = value.mutable_mat();
  mat->set_channels(1);
  mat->add_dims(32);
  mat->add_dims(32);
  mat->set_buffer(std::string(32 * 32, static_cast<char>(round)));
  return value;
}

GAnyData Flag() {
  GAnyData value;
  value.set_bool_val(true);
  return value;
}

TEST(GetDataConcurrencyTest, EightClientsReadWhileTheProjectRuns) {
  constexpr int kClients = 8;
  constexpr int kRuns = 30;
  ServiceHarness harness(Serving::kNone);
  ZelphServiceV2Impl& service = harness.service();
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  // Every run also caches the ports and makes previews on the service's pool.
  Set(service, p + "/property:" + tmp::kEnableCache, Flag());
  Set(service, p + "/property:" + tmp::kCreateVisibleResult, Flag());
  Set(service, p + "/input:source", Image(0));
  ExecuteCommandRequest evaluate;
  evaluate.add_url(p);
  evaluate.set_command(kEvaluate);

  GetDataRequest request;
  for (const std::string& url : {
           p + "/worker:scale/output:output",
           p + "/output:sink",
           p + "/cache:" + kLineScaleOutput,
           p + "/preview:" + kLineScaleId,
           p + "/statistic:" + kLineScaleId,
           p + "/statistic:" + kLineChainId,
           p + "/error:" + kLineSinkId,
           p + "/status",
           p + "/worker:" + kLineScaleId + "/status",
           p + "/execution_status",
           p + "/worker:scale",
           p + "/link:" + kLineSecondLink,
           p + "/worker:scale/system:name",
           p + "/settings",
           p,
       }) {
    request.add_url(url);
  }
  std::atomic<bool> running{true};
  std::atomic<int> reads{0};
  std::vector<std::thread> clients;
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&] {
      while (running.load()) {
        GetDataResponse response;
        const grpc::Status status = service.GetData(nullptr, &request, &response);
        EXPECT_TRUE(status.ok()) << status.error_message();
        EXPECT_EQ(response.data_size(), request.url_size());
        reads.fetch_add(1);
      }
    });
  }
  for (int run = 1; run <= kRuns; ++run) {
    const int before = reads.load();
    while (reads.load() < before + kClients) std::this_thread::yield();
    Set(service, p + "/input:source", Image(run));
    // (No ASSERT while the clients run: they must be joined.)
    ExecuteCommandResponse evaluated;
    const grpc::Status status = service.ExecuteCommand(nullptr, &evaluate, &evaluated);
    EXPECT_TRUE(status.ok()) << status.error_message();
    EXPECT_EQ(evaluated.status(), kOk);
  }
  running.store(false);
  for (std::thread& client : clients) client.join();
  EXPECT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(20)));

  // The last run's output and its preview are what the clients read now.
  GetDataRequest last;
  last.add_url(p + "/output:sink");
  last.add_url(p + "/preview:" + kLineScaleId);
  GetDataResponse response;
  ASSERT_TRUE(service.GetData(nullptr, &last, &response).ok());
  ASSERT_EQ(response.data_size(), 2);
  EXPECT_EQ(response.data(0).mat().buffer(), Image(kRuns).mat().buffer());
  EXPECT_EQ(response.data(1).mat().encoded(), "jpeg");
}

}  // namespace
}  // namespace zelph::testing
