// remove_test.cpp
//
// Remove through the client stub: each kind of object, a worker with the links it takes
// along, objects that do not exist; a refused Remove that has removed nothing, whatever URL
// fails (a bad URL, a missing session or project, a chain whose lock the client gave up
// waiting for, a reply past its limit); and the UNKNOWN answer of a missing session or
// project where the removal does not catch it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "service_harness.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/projects/rw_lock.h"
#include "zelph/projects/store.h"
#include "zelph/rpc/reply_budget.h"
#include "zelph/rpc/zelph_service.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/wait_until.h"

namespace zelph::testing {
namespace {

RemoveRequest Request(const std::vector<std::string>& urls) {
  RemoveRequest request;
  for (const std::string& url : urls) request.add_url(url);
  return request;
}

bool Exists(ServiceHarness& harness, const std::string& url) {
  ExistsRequest request;
  request.add_url(url);
  ExistsResponse response;
  EXPECT_TRUE(harness.Call(&Stub::Exists, request, &response).ok()) << url;
  return response.exists_size() == 1 && response.exists(0).bool_val();
}

// A project of the line chain with the input "/input:x" and the output "/output:y".
std::string LineProject(ServiceHarness& harness, const std::string& session_url) {
  const std::string project = harness.NewProject(session_url);
  harness.UploadChain(project, "line.json");
  const std::shared_ptr<Project> loaded = harness.ProjectOf(project);
  loaded->SetCache("/input:x", std::make_shared<PortDataScalar>(std::string("1")));
  loaded->SetCache("/output:y", std::make_shared<PortDataScalar>(std::string("2")));
  return project;
}

TEST(RemoveTest, EachKindIsRemovedAndWhatExistedIsListed) {
  ServiceHarness harness;
  const std::string session = harness.NewSession();
  const std::string other_session = harness.NewSession();
  const std::string p = LineProject(harness, session);
  const std::string q = harness.NewProject(session);
  const std::string never = "1a2b0000-0000-4000-8000-00000000dead";
  const std::vector<std::string> urls = {
      // Its two links go first, then the worker.
      p + "/worker:" + kLineScaleId,
      p + "/worker:" + never,
      p + "/link:" + never,
      p + "/input:x",
      p + "/input:nothing",
      p + "/output:y",
      p + "/statistic:" + kLineSinkId,
      p + "/statistic:nothing",
      q,
      session + "/project:nothing",
      other_session,
      other_session,
      "/session:nothing",
  };
  RemoveResponse response;
  const grpc::Status status = harness.Call(&Stub::Remove, Request(urls), &response);
  ASSERT_TRUE(status.ok()) << status.error_message();
  const std::vector<std::string> expected = {
      p + "/link:" + kLineFirstLink,
      p + "/link:" + kLineSecondLink,
      p + "/worker:" + kLineScaleId,
      p + "/worker:" + never,
      p + "/link:" + never,
      p + "/input:x",
      p + "/output:y",
      p + "/statistic:" + kLineSinkId,
      q,
      other_session,
  };
  EXPECT_EQ(std::vector<std::string>(response.removed_url().begin(), response.removed_url().end()),
            expected);
  for (const std::string& url : expected) EXPECT_FALSE(Exists(harness, url)) << url;
  EXPECT_TRUE(Exists(harness, p + "/worker:source"));
  EXPECT_TRUE(Exists(harness, p + "/statistic:" + kLineSourceId));
}

// A Remove holds the chains it edits while it goes: the session and the project of such a
// chain can go in the same call, after it.
TEST(RemoveTest, AWorkerAndTheSessionAroundItGoInOneCall) {
  ServiceHarness harness;
  const std::string session = harness.NewSession();
  const std::string p = LineProject(harness, session);
  RemoveResponse response;
  const grpc::Status status =
      harness.Call(&Stub::Remove, Request({p + "/worker:" + kLineScaleId, p, session}), &response);
  ASSERT_TRUE(status.ok()) << status.error_message();
  EXPECT_EQ(response.removed_url_size(), 5);
  EXPECT_FALSE(Exists(harness, session));
}

TEST(RemoveTest, ARefusedRemoveHasRemovedNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> after;  // URLs that follow "/input:x", the first removal
    grpc::StatusCode code;
    std::string message;
  };
  const Case kCases[] = {
      {"every URL checked first",
       {"/session/project"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: /session/project, /session:id required"},
      {"no removal of that path",
       {"/model:m", "/session:s"},
       grpc::StatusCode::INVALID_ARGUMENT,
       "Failed remove object, invalid url /model:m"},
      {"worker id that is no uuid",
       {"{project}/worker:scale"},
       grpc::StatusCode::INTERNAL,
       "invalid uuid string"},
      {"worker of a missing project",
       {"{session}/project:nothing/worker:" + std::string(kLineScaleId)},
       grpc::StatusCode::INTERNAL,
       "Project not found: nothing"},
      {"link of a missing session",
       {"/session:nothing/project:p/link:l"},
       grpc::StatusCode::INTERNAL,
       "Session not found: nothing"},
      {"project of a missing session",
       {"/session:nothing/project:p"},
       grpc::StatusCode::UNKNOWN,
       "Unexpected error in RPC handling"},
      {"statistic of a missing project",
       {"{session}/project:nothing/statistic:x"},
       grpc::StatusCode::UNKNOWN,
       "Unexpected error in RPC handling"},
      {"data of a missing project",
       {"{session}/project:nothing/output:x"},
       grpc::StatusCode::UNKNOWN,
       "Unexpected error in RPC handling"},
  };
  for (const Case& c : kCases) {
    ServiceHarness harness;
    const std::string session = harness.NewSession();
    const std::string p = LineProject(harness, session);
    std::vector<std::string> urls = {p + "/input:x"};
    for (std::string url : c.after) {
      for (const auto& [name, value] :
           {std::pair{"{project}", p}, std::pair{"{session}", session}}) {
        if (url.starts_with(name)) url = value + url.substr(std::string(name).size());
      }
      urls.push_back(url);
    }
    RemoveResponse response;
    const grpc::Status status = harness.Call(&Stub::Remove, Request(urls), &response);
    EXPECT_EQ(status.error_code(), c.code) << c.name;
    EXPECT_EQ(status.error_message(), c.message) << c.name;
    EXPECT_EQ(response.removed_url_size(), 0) << c.name;
    EXPECT_TRUE(Exists(harness, p + "/input:x")) << c.name;
  }

  ServiceHarness harness;
  RemoveResponse response;
  EXPECT_TRUE(harness.Call(&Stub::Remove, RemoveRequest(), &response).ok());
  EXPECT_EQ(response.removed_url_size(), 0);
}

// The chain of the second project is locked by a reader (as a run holds it) while the client's
// deadline passes: the removal of the first project's data waits for it and does not happen.
TEST(RemoveTest, AClientThatGivesUpWaitingForALockHasRemovedNothing) {
  ServiceHarness harness;
  const std::string session = harness.NewSession();
  const std::string p = LineProject(harness, session);
  const std::string q = LineProject(harness, session);
  std::shared_lock held(harness.ProjectOf(q)->GetLock());
  grpc::ClientContext context;
  context.set_deadline(std::chrono::system_clock::now() + std::chrono::milliseconds(300));
  RemoveResponse response;
  const grpc::Status status = harness.stub().Remove(
      &context, Request({p + "/input:x", q + "/worker:" + std::string(kLineScaleId)}), &response);
  EXPECT_EQ(status.error_code(), grpc::StatusCode::DEADLINE_EXCEEDED);
  // The server's thread has given up too once no writer waits: a reader is let in again.
  RwLock& lock = harness.ProjectOf(q)->GetLock();
  EXPECT_TRUE(WaitUntil([&] {
    if (!lock.try_lock_shared()) return false;
    lock.unlock_shared();
    return true;
  }));
  held.unlock();
  EXPECT_TRUE(Exists(harness, p + "/input:x"));
  EXPECT_TRUE(Exists(harness, q + "/worker:" + std::string(kLineScaleId)));
}

// Each reply may have 2 MiB; the second entry's URL alone passes that.
TEST(RemoveTest, ARemoveWhoseReplyPassesItsLimitHasRemovedNothing) {
  ServiceHarness harness(Serving::kLoopback, 4 << 20);
  const std::string session = harness.NewSession();
  const std::string p = LineProject(harness, session);
  const std::string long_key = "/input:" + std::string(3 << 20, 'k');
  harness.ProjectOf(p)->SetCache(long_key, std::make_shared<PortDataScalar>(std::string("3")));
  RemoveResponse response;
  const grpc::Status status =
      harness.Call(&Stub::Remove, Request({p + "/input:x", p + long_key}), &response);
  EXPECT_EQ(status.error_code(), grpc::StatusCode::RESOURCE_EXHAUSTED);
  EXPECT_EQ(status.error_message(), "reply would exceed 2097152 bytes");
  EXPECT_TRUE(Exists(harness, p + "/input:x"));
  // (Exists would repeat the long URL in its reply.)
  EXPECT_TRUE(harness.ProjectOf(p)->GetCache(long_key).data);
  // The refused call holds nothing once gRPC has finished sending the replies before it.
  EXPECT_TRUE(WaitUntil([&] { return harness.service().GetReplyBudget().InFlight() == 0; }));
}

// Data that a client removes or replaces goes back to the system as drained replies do: the
// service calls its release hook once enough has gone, whether the entry, its project or its
// session goes, or the session expires. Handlers are called directly.
TEST(RemoveTest, RemovedAndReplacedDataGiveTheirMemoryBack) {
  int releases = 0;
  ZelphServiceV2Impl service(std::uint64_t{1} << 30, [&] { ++releases; });
  const auto create = [&](const std::string& session_id) {
    CreateSessionRequest session;
    session.set_id(session_id);
    CreateSessionResponse session_response;
    ASSERT_TRUE(service.CreateSession(nullptr, &session, &session_response).ok());
    CreateProjectRequest project;
    project.set_url("/session:" + session_id + "/project:p");
    CreateProjectResponse project_response;
    ASSERT_TRUE(service.CreateProject(nullptr, &project, &project_response).ok());
  };
  // 40 MiB under "/input:m" of the session's project.
  const auto store = [&](const std::string& session_id) {
    const std::string url = "/session:" + session_id + "/project:p/input:m";
    SetDataRequest set;
    set.set_url(url);
    set.mutable_data()->set_url(url);
    GNumbers* numbers = set.mutable_data()->mutable_numbers();
    numbers->set_element_type(kByte);
    numbers->set_buffer(std::string(40 << 20, 'n'));
    SetDataResponse response;
    return service.SetData(nullptr, &set, &response);
  };
  const auto remove = [&](const std::string& url) {
    RemoveRequest request;
    request.add_url(url);
    RemoveResponse removed;
    ASSERT_TRUE(service.Remove(nullptr, &request, &removed).ok());
    ASSERT_EQ(removed.removed_url_size(), 1);
  };

  create("s");
  ASSERT_TRUE(store("s").ok());
  ASSERT_TRUE(store("s").ok());  // 40 MiB replaced
  EXPECT_EQ(releases, 0);
  remove("/session:s/project:p/input:m");
  EXPECT_EQ(releases, 1);  // 80 MiB gone

  struct Case {
    const char* what;
    std::function<void()> drop;  // drops session "g" with 80 MiB in its project
  };
  const Case kCases[] = {
      {"the project removed", [&] { remove("/session:g/project:p"); }},
      {"the session removed", [&] { remove("/session:g"); }},
      {"the session expired",
       [&] {
         ASSERT_TRUE(service.GetStore().RemoveIdleSession(
             "g", std::chrono::steady_clock::now() + std::chrono::hours(24 * 365)));
       }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    create("g");
    ASSERT_TRUE(store("g").ok());
    ASSERT_TRUE(store("g").ok());  // 40 MiB replaced: no release yet
    const int before = releases;
    c.drop();
    EXPECT_EQ(releases, before + 1);
    if (service.GetStore().HasSession("g")) remove("/session:g");
  }
}

}  // namespace
}  // namespace zelph::testing
