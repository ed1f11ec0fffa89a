// handlers_concurrency_test.cpp
//
// Many clients at once, judged by the thread sanitizer: SetData into every kind of target,
// and SetData with every command, from eight clients on eight projects and from eight
// clients on one project. Each client
// is a thread that calls the handlers as gRPC's server threads do (the harness explains why
// not through the transport).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/property.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_background_tasks.h"
#include "zelph/testing/service_fixtures.h"

namespace zelph::testing {
namespace {

constexpr int kClients = 8;
constexpr int kRounds = 20;

SetDataRequest Set(const std::string& url, GAnyData value) {
  SetDataRequest request;
  request.set_url(url);
  *request.mutable_data() = std::move(value);
  request.mutable_data()->set_url("d");
  return request;
}

GAnyData Matrix(int client, int round) {
  GAnyData value;
  GMat* mat = value.mutable_mat();
  mat->set_channels(1);
  mat->add_dims(16);
  mat->add_dims(16);
  mat->set_buffer(std::string(256, static_cast<char>(client * kRounds + round)));
  return value;
}

// One client's writes: cache data, a worker system property and chain properties (whose
// application changes the chain under the project's exclusive lock).
void WriteRounds(ZelphServiceV2Impl& service, const std::string& project, int client) {
  const std::string own = std::to_string(client);
  for (int round = 0; round < kRounds; ++round) {
    GAnyData text;
    text.set_string_val(own + "-" + std::to_string(round));
    GAnyData number;
    number.set_int64_val(round);
    const SetDataRequest requests[] = {
        Set(project + "/input:image" + own, Matrix(client, round)),
        Set(project + "/worker:scale/input:in", Matrix(client, round)),
        Set(project + "/worker:scale/system:key" + own, number),
        Set(project + "/property:chain.name", text),
        Set(project + "/property:note" + own, text),
    };
    for (const SetDataRequest& request : requests) {
      SetDataResponse response;
      const grpc::Status status = service.SetData(nullptr, &request, &response);
      EXPECT_TRUE(status.ok()) << request.url() << ": " << status.error_message();
    }
  }
}

void RunClients(ServiceHarness& harness, const std::vector<std::string>& projects) {
  std::vector<std::thread> clients;
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&, client] {
      WriteRounds(harness.service(), projects[client % projects.size()], client);
    });
  }
  for (std::thread& client : clients) client.join();
}

void ExpectLastRoundStored(ServiceHarness& harness, const std::string& project_url, int client) {
  const std::shared_ptr<Project> project = harness.ProjectOf(project_url);
  const std::string own = std::to_string(client);
  EXPECT_NE(project->GetCache("/input:image" + own).data, nullptr);
  EXPECT_EQ(project->GetWorker("scale")->GetSystemProperties()->GetValue("key" + own),
            PropertyVariant(static_cast<long long>(kRounds - 1)));
  EXPECT_EQ(project->GetChainProperties()->GetValue("note" + own),
            PropertyVariant(own + "-" + std::to_string(kRounds - 1)));
}

TEST(HandlersConcurrencyTest, SetDataFromEightClientsOnEightProjects) {
  ServiceHarness harness(Serving::kNone);
  std::vector<std::string> projects;
  for (int i = 0; i < kClients; ++i) {
    projects.push_back(harness.NewProject());
    harness.UploadChain(projects.back(), "line.json");
  }
  RunClients(harness, projects);
  for (int client = 0; client < kClients; ++client) {
    ExpectLastRoundStored(harness, projects[client], client);
    EXPECT_EQ(harness.ProjectOf(projects[client])->GetChain()->GetName(),
              std::to_string(client) + "-" + std::to_string(kRounds - 1));
  }
}

TEST(HandlersConcurrencyTest, SetDataFromEightClientsOnOneProject) {
  ServiceHarness harness(Serving::kNone);
  const std::string project = harness.NewProject();
  harness.UploadChain(project, "line.json");
  RunClients(harness, {project});
  for (int client = 0; client < kClients; ++client) ExpectLastRoundStored(harness, project, client);
}

// One client's rounds of input and commands: every run, step, reset, preview and interrupt,
// synchronous and asynchronous; a busy project answers kCancelled, which is no failure.
void CommandRounds(ZelphServiceV2Impl& service, const std::string& project, int client) {
  const zelph::Command kCommands[] = {kEvaluate,        kEvaluateAsync, kEvaluateStep,
                                      kResetIterations, kBuildPreview,  kInterrupt};
  for (int round = 0; round < kRounds; ++round) {
    SetDataRequest input = Set(project + "/input:source", Matrix(client, round));
    SetDataResponse set;
    EXPECT_TRUE(service.SetData(nullptr, &input, &set).ok());
    for (const zelph::Command command : kCommands) {
      ExecuteCommandRequest request;
      request.set_command(command);
      request.add_url(command == kBuildPreview ? project + "/worker:scale" : project);
      if (command == kEvaluate && round % 2 == 1) request.add_url(project + "/worker:sink");
      ExecuteCommandResponse response;
      const grpc::Status status = service.ExecuteCommand(nullptr, &request, &response);
      EXPECT_TRUE(status.ok()) << command << ": " << status.error_message();
    }
  }
}

void RunCommandClients(ServiceHarness& harness, const std::vector<std::string>& projects) {
  for (const std::string& project : projects) {
    harness.UploadChain(project, "line.json");
    for (const char* flag : {tmp::kCreateVisibleResult, tmp::kEnableCache}) {
      GAnyData on;
      on.set_bool_val(true);
      SetDataRequest request = Set(project + "/property:" + flag, on);
      SetDataResponse response;
      ASSERT_TRUE(harness.service().SetData(nullptr, &request, &response).ok());
    }
  }
  std::vector<std::thread> clients;
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&, client] {
      CommandRounds(harness.service(), projects[client % projects.size()], client);
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_TRUE(ServiceBackgroundTasks().WaitIdle(std::chrono::seconds(60)));
  for (const std::string& project : projects) {
    EXPECT_EQ(harness.ProjectOf(project)->GetState(), static_cast<int>(ProjectState::kReady));
  }
}

TEST(HandlersConcurrencyTest, CommandsFromEightClientsOnEightProjects) {
  ServiceHarness harness(Serving::kNone);
  std::vector<std::string> projects;
  for (int i = 0; i < kClients; ++i) projects.push_back(harness.NewProject());
  RunCommandClients(harness, projects);
}

TEST(HandlersConcurrencyTest, CommandsFromEightClientsOnOneProject) {
  ServiceHarness harness(Serving::kNone);
  RunCommandClients(harness, {harness.NewProject()});
}

// The main settings, written from both sides at once and uploaded whole: writes of the
// worker's "settings" property, of a setting's control and whole documents cross the
// project's lock and the configuration's own. An upload may find another one under way.
TEST(HandlersConcurrencyTest, MainSettingsFromEightClientsOnOneProject) {
  ServiceHarness harness(Serving::kNone);
  const std::string project = harness.NewProject();
  harness.UploadChain(project, "main_settings.json");
  const std::string document = harness.ProjectOf(project)->GetConfigurationJson();
  std::vector<std::thread> clients;
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&, client] {
      for (int round = 0; round < kRounds; ++round) {
        GAnyData value;
        SetDataRequest request;
        switch ((client + round) % 3) {
          case 0:
            value.set_string_val(R"({"threshold": )" + std::to_string(round) + "}");
            request = Set(project + "/worker:dashboard/property:settings", value);
            break;
          case 1:
            value.set_int32_val(round);
            request = Set(project + "/setting:" + kMainWorkerId + "/property:threshold", value);
            break;
          default:
            value.set_string_val(document);
            request = Set(project + "/config", value);
        }
        SetDataResponse response;
        const grpc::Status status = harness.service().SetData(nullptr, &request, &response);
        EXPECT_TRUE(status.ok() ||
                    status.error_message() == "Chain not ready to upload configuration")
            << request.url() << ": " << status.error_message();
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(harness.ProjectOf(project)->GetState(), static_cast<int>(ProjectState::kReady));
}

}  // namespace
}  // namespace zelph::testing
