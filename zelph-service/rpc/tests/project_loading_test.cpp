// project_loading_test.cpp
//
// Chains into projects through the client stub: UploadProject with every URL form and every
// chain fixture, a busy project, deeply nested chain text; the solution methods with apps
// and templates of the catalogue, before and after the apps were listed.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>
#include <string>

#include "capturing_logger.h"
#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/projects/project.h"
#include "zelph/projects/rw_lock.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"
#include "zelph/testing/wait_until.h"

namespace zelph::testing {
namespace {

UploadProjectRequest Upload(const std::string& url, const std::string& data,
                            const std::string& path = "") {
  UploadProjectRequest request;
  request.set_url(url);
  request.mutable_file()->set_data(data);
  request.mutable_file()->set_path(path);
  return request;
}

TEST(ProjectLoadingTest, UploadProjectTakesProjectUrlsOnly) {
  ServiceHarness harness;
  const std::string session = harness.NewSession();
  const std::string project = harness.NewProject(session);
  const std::string session_id = session.substr(session.rfind(':') + 1);
  const std::string project_id = project.substr(project.rfind(':') + 1);
  const std::string kExpected = ", /session/project expected";
  struct Case {
    std::string url;
    grpc::StatusCode code;
    std::string message;
  };
  const Case kCases[] = {
      {project, grpc::StatusCode::OK, ""},
      {"", grpc::StatusCode::INVALID_ARGUMENT, "Url is empty"},
      {session, grpc::StatusCode::INVALID_ARGUMENT, "Invalid url: " + session + kExpected},
      {session + "/project", grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + session + "/project, /session/project:id required"},
      {"/session/project:" + project_id, grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: /session/project:" + project_id + ", /session:id required"},
      {project + "/worker:w", grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + project + "/worker:w" + kExpected},
      {project + "/", grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: " + project + "/" + kExpected},
      {"/sess:" + session_id + "/proj:" + project_id, grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: /sess:" + session_id + "/proj:" + project_id + kExpected},
      {session + "/project:nope", grpc::StatusCode::INTERNAL, "Project not found: nope"},
      {"/session:nope/project:" + project_id, grpc::StatusCode::INTERNAL,
       "Session not found: nope"},
  };
  for (const Case& c : kCases) {
    UploadProjectResponse response;
    const grpc::Status status =
        harness.Call(&Stub::UploadProject, Upload(c.url, ChainText("line.json")), &response);
    EXPECT_EQ(status.error_code(), c.code) << c.url;
    EXPECT_EQ(status.error_message(), c.message) << c.url;
    EXPECT_EQ(response.chain_id(), status.ok() ? kLineChainId : "") << c.url;
  }
}

TEST(ProjectLoadingTest, UploadsEachChainFixture) {
  ServiceHarness harness;
  const std::string kLoadError = "Error while loading chain from the file\n";
  struct Case {
    std::string file;
    grpc::StatusCode code;
    std::string chain_id_or_cause;
    size_t workers;
  };
  const Case kCases[] = {
      {"line.json", grpc::StatusCode::OK, kLineChainId, 3},
      {"line_bom.json", grpc::StatusCode::OK, kLineChainId, 3},
      {"main_settings.json", grpc::StatusCode::OK, kMainChainId, 3},
      {"slow.json", grpc::StatusCode::OK, kSlowChainId, 1},
      {"no_id.json", grpc::StatusCode::INTERNAL, "Chain id is not set", 0},
      {"array.json", grpc::StatusCode::INTERNAL,
       "Invalid chain file: it is not JSON (starting '{' symbol expected)", 0},
      {"bom_only.json", grpc::StatusCode::INTERNAL,
       "Invalid chain file: it is not JSON (starting '{' symbol expected)", 0},
  };
  for (const Case& c : kCases) {
    const std::string project = harness.NewProject();
    UploadProjectResponse response;
    const grpc::Status status = harness.Call(
        &Stub::UploadProject, Upload(project, ChainText(c.file), ChainFile(c.file)), &response);
    EXPECT_EQ(status.error_code(), c.code) << c.file << ": " << status.error_message();
    if (status.ok()) {
      EXPECT_EQ(response.chain_id(), c.chain_id_or_cause) << c.file;
    } else {
      EXPECT_EQ(status.error_message(),
                kLoadError + ChainFile(c.file) + "\n" + c.chain_id_or_cause);
    }
    EXPECT_EQ(harness.ProjectOf(project)->GetChain()->GetWorkersCount(), c.workers) << c.file;
  }

  // A long path is quoted as client text, or the reply could not carry the failure.
  const std::string long_path(1 << 20, 'p');
  grpc::Status status =
      harness.Call(&Stub::UploadProject, Upload(harness.NewProject(), "[", long_path));
  EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL);
  EXPECT_EQ(status.error_message(), kLoadError + std::string(256, 'p') +
                                        "...\nInvalid chain file: it is not JSON (starting '{' "
                                        "symbol expected)");

  // No file at all reads as empty text from an empty path.
  UploadProjectRequest request;
  request.set_url(harness.NewProject());
  status = harness.Call(&Stub::UploadProject, request);
  EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL);
  EXPECT_EQ(status.error_message(),
            kLoadError + "\nFailed parse json project: json string is empty");
}

// A chain text nested a million levels deep would exhaust the stack of the gRPC thread
// that reads it (or frees what was read); it gets the reader's ordinary parse error.
TEST(ProjectLoadingTest, DeeplyNestedChainTextIsRefusedAsUnreadable) {
  ServiceHarness harness;
  const std::string project = harness.NewProject();
  constexpr size_t kDepth = 1'000'000;
  const std::string text =
      R"({"app": "zelph-project", "zelph_chain": {"executor": {"uuid": "x", "deep": )" +
      std::string(kDepth, '[') + std::string(kDepth, ']') + "}}}";
  const grpc::Status status =
      harness.Call(&Stub::UploadProject, Upload(project, text, "deep.json"));
  EXPECT_EQ(status.error_code(), grpc::StatusCode::INTERNAL);
  EXPECT_EQ(status.error_message().rfind("Error while loading chain from the file\ndeep.json\n", 0),
            0u)
      << status.error_message();
  EXPECT_LT(status.error_message().size(), 1024u);
  // The service goes on serving, the project too.
  EXPECT_EQ(harness.UploadChain(project, "line.json"), kLineChainId);
}

TEST(ProjectLoadingTest, UploadIntoABusyProjectIsRefused) {
  ServiceHarness harness;
  const std::string session = harness.NewSession();
  struct Case {
    std::string project_id;
    std::string shown;  // as the refusal names it
  };
  const Case kCases[] = {
      {"p1", "p1"},
      {std::string(1024, 'p'), std::string(256, 'p') + "..."},  // the longest id a project may have
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.shown);
    const std::string project = session + "/project:" + c.project_id;
    CreateProjectRequest create;
    create.set_url(project);
    ASSERT_TRUE(harness.Call(&Stub::CreateProject, create).ok());
    Gate& loader = TestPluginControl::Get().LoaderGate();
    loader.Reset();
    loader.Close();
    // The main-settings chain's Loader waits at the gate while its chain loads.
    auto first = std::async(std::launch::async, [&] {
      return harness.Call(&Stub::UploadProject, Upload(project, ChainText("main_settings.json"),
                                                       ChainFile("main_settings.json")));
    });
    ASSERT_TRUE(loader.WaitForInside(1));
    const grpc::Status refused =
        harness.Call(&Stub::UploadProject, Upload(project, ChainText("line.json")));
    loader.Open();
    EXPECT_EQ(refused.error_code(), grpc::StatusCode::INTERNAL);
    EXPECT_EQ(refused.error_message(), "Chain not ready to execute, " + c.shown);
    EXPECT_TRUE(first.get().ok());
    EXPECT_EQ(harness.UploadChain(project, "line.json"), kLineChainId);
    loader.Reset();
  }
}

LoadSolutionRequest Solution(const std::string& project_url, const std::string& app,
                             const std::string& configuration = "") {
  LoadSolutionRequest request;
  request.set_project_url(project_url);
  request.set_solution_id(app);
  request.set_solution_template_id(configuration);
  return request;
}

std::string SettingsOf(const Project& project) {
  return project.GetWorker(kSettingsMainWorkerId)->GetPropertyString("settings", "<none>");
}

const std::string kTunedSettings = "{\n    \"threshold\": 12,\n    \"label\": \"tuned\"\n}";

TEST(ProjectLoadingTest, LoadSolutionFindsAppsOnlyOnceTheyWereListed) {
  ServiceHarness harness;
  const std::string project = harness.NewProject();
  const std::string project_id = project.substr(project.rfind(':') + 1);
  CapturingLogger log(ZelphSeverityLevel::kError);
  const std::string kFailed = "[error] Failed load solution, error: ";
  const std::string kNoApp = "Solution app not found, solution app id: ";

  LoadSolutionResponse response;
  grpc::Status status = harness.Call(&Stub::LoadSolution, Solution(project, kDemoAppId), &response);
  EXPECT_EQ(status.error_code(), grpc::StatusCode::CANCELLED);
  EXPECT_EQ(status.error_message(), "");
  EXPECT_NE(log.Text().find(kFailed + kNoApp + "'" + kDemoAppId + "'\n"), std::string::npos)
      << log.Text();

  harness.ListApps();
  struct Case {
    const char* name;
    LoadSolutionRequest request;
    std::string chain_id;  // empty: CANCELLED, with `logged` in the error log
    std::string logged;
  };
  const Case kCases[] = {
      {"app", Solution(project, kDemoAppId), kDemoAppId, ""},
      {"the path is not looked at", Solution(project + "/worker:w", kDemoAppId), kDemoAppId, ""},
      {"nor the kind words", Solution("/sess:" + project.substr(9), kDemoAppId), kDemoAppId, ""},
      {"app and its template", Solution(project, kSettingsAppId, kTunedTemplateId), kSettingsAppId,
       ""},
      {"unknown app", Solution(project, "nope"), "", kNoApp + "'nope'"},
      {"long app id", Solution(project, std::string(300, 'a')), "",
       kNoApp + "'" + std::string(256, 'a') + "...'"},
      {"unknown template", Solution(project, kDemoAppId, "nope"), "",
       "Solution template not found, solution template id: 'nope'"},
      // A template need not belong to the app; this one applies main settings to a chain
      // that has none.
      {"template of another app", Solution(project, kDemoAppId, kFastTemplateId), "",
       "Executor not found with id: "},
      {"no session", Solution("/session:x/project:" + project_id, kDemoAppId), "",
       "Session not found: x"},
      {"no project", Solution("", kDemoAppId), "", "Session not found: "},
  };
  for (const Case& c : kCases) {
    log.Clear();
    LoadSolutionResponse response;
    const grpc::Status status = harness.Call(&Stub::LoadSolution, c.request, &response);
    if (c.chain_id.empty()) {
      EXPECT_EQ(status.error_code(), grpc::StatusCode::CANCELLED) << c.name;
      EXPECT_EQ(status.error_message(), "") << c.name;
      EXPECT_EQ(log.Text(), kFailed + c.logged + "\n") << c.name;
    } else {
      EXPECT_TRUE(status.ok()) << c.name;
      EXPECT_EQ(response.chain_id(), c.chain_id) << c.name;
      EXPECT_EQ(log.Text().find("[error]"), std::string::npos) << c.name << ": " << log.Text();
    }
  }
}

TEST(ProjectLoadingTest, LoadSolutionAppliesTheTemplateAfterTheApp) {
  ServiceHarness harness;
  harness.ListApps();
  const std::string project = harness.NewProject();
  ASSERT_TRUE(
      harness.Call(&Stub::LoadSolution, Solution(project, kSettingsAppId, kTunedTemplateId)).ok());
  EXPECT_EQ(SettingsOf(*harness.ProjectOf(project)), kTunedSettings);

  // A template that is not found keeps the project as it was.
  EXPECT_EQ(harness.Call(&Stub::LoadSolution, Solution(project, kDemoAppId, "nope")).error_code(),
            grpc::StatusCode::CANCELLED);
  EXPECT_EQ(harness.ProjectOf(project)->GetChain()->GetId(), kSettingsAppId);
}

// The chain and its configuration come in one hold of the project: an edit that waits for the
// project while the chain loads finds the configuration applied, and no second wait of the
// load could end at its client's deadline with the chain loaded and the configuration not.
TEST(ProjectLoadingTest, LoadSolutionAppliesItsTemplateInTheHoldOfItsLoad) {
  ServiceHarness harness;
  harness.ListApps();
  const std::string project = harness.NewProject();
  Gate& loader = TestPluginControl::Get().LoaderGate();
  loader.Reset();
  loader.Close();
  // The settings app's Loader waits at the gate while its chain loads.
  auto load = std::async(std::launch::async, [&] {
    return harness.Call(&Stub::LoadSolution, Solution(project, kSettingsAppId, kTunedTemplateId));
  });
  ASSERT_TRUE(loader.WaitForInside(1));
  const std::shared_ptr<Project> loaded = harness.ProjectOf(project);
  auto edit = std::async(std::launch::async, [&] {
    std::unique_lock lock(loaded->GetLock());
    // Read through the chain: the project's own lookups would wait for the lock held here.
    const std::shared_ptr<IDataProcess> main =
        loaded->GetChain()->FindWorker(kSettingsMainWorkerId);
    return main ? main->GetPropertyString("settings", "<none>") : "<no worker>";
  });
  // The edit waits as a writer: a reader is kept out from then on.
  ASSERT_TRUE(WaitUntil([&] {
    if (!loaded->GetLock().try_lock_shared()) return true;
    loaded->GetLock().unlock_shared();
    return false;
  }));
  loader.Open();
  EXPECT_EQ(edit.get(), kTunedSettings);
  EXPECT_TRUE(load.get().ok());
}

TEST(ProjectLoadingTest, LoadSolutionTemplateLoadsItsAppThenItsConfiguration) {
  ServiceHarness harness;
  harness.ListApps();
  const std::string project = harness.NewProject();
  CapturingLogger log(ZelphSeverityLevel::kError);
  LoadSolutionTemplateRequest request;
  request.set_project_url(project);
  request.set_solution_template_id(kTunedTemplateId);
  LoadSolutionTemplateResponse response;
  ASSERT_TRUE(harness.Call(&Stub::LoadSolutionTemplate, request, &response).ok());
  EXPECT_EQ(response.chain_id(), kSettingsAppId);
  EXPECT_EQ(SettingsOf(*harness.ProjectOf(project)), kTunedSettings);

  const std::string kFailed = "[error] Failed load solution template, error: '";
  struct Case {
    std::string configuration;
    std::string logged;
  };
  const Case kCases[] = {
      {"nope", "Solution template not found, solution template id: 'nope'"},
      {kOrphanTemplateId, std::string("Solution template not found, solution template id: '") +
                              kOrphanTemplateId + "'"},
      {kPlainTemplateId, "Executor not found with id: "},  // its app has no main settings
  };
  for (const Case& c : kCases) {
    log.Clear();
    request.set_solution_template_id(c.configuration);
    const grpc::Status status = harness.Call(&Stub::LoadSolutionTemplate, request);
    EXPECT_EQ(status.error_code(), grpc::StatusCode::CANCELLED) << c.configuration;
    EXPECT_EQ(status.error_message(), "");
    EXPECT_EQ(log.Text(), kFailed + c.logged + "'\n") << c.configuration;
  }
}

TEST(ProjectLoadingTest, SolutionsIntoABusyProjectAreCancelled) {
  ServiceHarness harness;
  harness.ListApps();
  const std::string project = harness.NewProject();
  Gate& loader = TestPluginControl::Get().LoaderGate();
  loader.Reset();
  loader.Close();
  auto first = std::async(std::launch::async, [&] {
    return harness.Call(&Stub::LoadSolution, Solution(project, kSettingsAppId));
  });
  ASSERT_TRUE(loader.WaitForInside(1));
  CapturingLogger log(ZelphSeverityLevel::kError);
  const grpc::Status refused = harness.Call(&Stub::LoadSolution, Solution(project, kDemoAppId));
  loader.Open();
  EXPECT_EQ(refused.error_code(), grpc::StatusCode::CANCELLED);
  EXPECT_NE(log.Text().find("Failed load solution, error: Chain not ready to execute, " +
                            project.substr(project.rfind(':') + 1)),
            std::string::npos)
      << log.Text();
  EXPECT_TRUE(first.get().ok());
  loader.Reset();
}

}  // namespace
}  // namespace zelph::testing
