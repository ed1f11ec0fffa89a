// project_loading_test.cpp
//
// Chains into projects through the client stub: UploadProject with every URL form and every
// chain fixture, a busy project, deeply nested chain text; the solution methods with apps
// and templates of the catalogue, before and after the apps were listed.
#include <gtest/gtest.h>

#include <future>
#include <string>

#include "capturing_logger.h"
#include "service_harness.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

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

  // No file at all reads as empty text from an empty path.
  UploadProjectRequest request;
  request.set_url(harness.NewProject());
  const grpc::Status status = harness.Call(&Stub::UploadProject, request);
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
  const std::string project = harness.NewProject();
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
  const std::string project_id = project.substr(project.rfind(':') + 1);
  EXPECT_EQ(refused.error_message(), "Chain not ready to execute, " + project_id);
  EXPECT_TRUE(first.get().ok());
  EXPECT_EQ(harness.UploadChain(project, "line.json"), kLineChainId);
  loader.Reset();
}

}  // namespace
}  // namespace zelph::testing
