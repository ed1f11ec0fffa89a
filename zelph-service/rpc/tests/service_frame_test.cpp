// service_frame_test.cpp
//
// The served service's frame: sessions and projects created through the client stub with
// every accepted and refused URL form, the methods without a handler, and what the frame
// logs of requests and failures.
#include <gtest/gtest.h>

#include <boost/uuid/string_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <string>

#include "capturing_logger.h"
#include "service_harness.h"
#include "zelph/projects/session.h"
#include "zelph/projects/store.h"

namespace zelph::testing {
namespace {

const std::string kLongId(300, 'x');
const std::string kLongIdQuoted = std::string(256, 'x') + "...";

TEST(ServiceFrameTest, CreateSessionAnswersTheStoreRefusals) {
  ServiceHarness harness;
  struct Case {
    std::string id;
    grpc::StatusCode code;
    std::string message;
  };
  const Case kCases[] = {
      {"fresh", grpc::StatusCode::OK, ""},
      {"fresh", grpc::StatusCode::INTERNAL, "Session exists"},
      {"default", grpc::StatusCode::INTERNAL, "Session exists"},
      {"", grpc::StatusCode::INTERNAL, "Session id is empty"},
      {kLongId, grpc::StatusCode::OK, ""},
      // No URL could name these.
      {"a/b", grpc::StatusCode::INTERNAL, "Session id contains '/'"},
      {"a:b", grpc::StatusCode::INTERNAL, "Session id contains ':'"},
      {std::string("a\0b", 3), grpc::StatusCode::INTERNAL, "Session id contains '\\0'"},
      {"/", grpc::StatusCode::INTERNAL, "Session id contains '/'"},
      // Every listing of sessions repeats it.
      {std::string(1025, 'x'), grpc::StatusCode::INTERNAL, "Session id is longer than 1024 bytes"},
  };
  for (const Case& c : kCases) {
    CreateSessionRequest request;
    request.set_id(c.id);
    const grpc::Status status = harness.Call(&Stub::CreateSession, request);
    EXPECT_EQ(status.error_code(), c.code) << c.id;
    EXPECT_EQ(status.error_message(), c.message) << c.id;
  }
  EXPECT_TRUE(harness.service().GetStore().HasSession("fresh"));
  std::size_t sessions = 0;
  harness.service().GetStore().ForEachSession([&](const std::shared_ptr<Session>&) { ++sessions; });
  EXPECT_EQ(sessions, 3u);  // default, fresh and the long one
}

TEST(ServiceFrameTest, CreateProjectAcceptsSessionAndProjectUrlsOnly) {
  ServiceHarness harness;
  CreateSessionRequest session;
  session.set_id("s");
  ASSERT_TRUE(harness.Call(&Stub::CreateSession, session).ok());

  const std::string kExpected = ", /session or /session/project expected";
  struct Case {
    std::string url;
    grpc::StatusCode code;
    std::string message_or_reply;  // the reply's URL when the call succeeds
  };
  const Case kCases[] = {
      {"/session:s/project:p", grpc::StatusCode::OK, "/session:s/project:p"},
      {"/session:s/project:p", grpc::StatusCode::INTERNAL, "Project exist"},
      {"/session:s/project:", grpc::StatusCode::INTERNAL, "Empty project id"},
      {"/session:x", grpc::StatusCode::INTERNAL, "Session not found: x"},
      {"/session:x/project:p", grpc::StatusCode::INTERNAL, "Session not found: x"},
      {"/session:" + kLongId, grpc::StatusCode::INTERNAL, "Session not found: " + kLongIdQuoted},
      {"", grpc::StatusCode::INVALID_ARGUMENT, "Url is empty"},
      {"/session/project:p", grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: /session/project:p, /session:id required"},
      {"/session:s/project", grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: /session:s/project, /session/project:id required"},
      // The trailing "/" stays in the path, which is then /session/.
      {"/session:s/", grpc::StatusCode::INVALID_ARGUMENT, "Invalid url: /session:s/" + kExpected},
      {"/session:s/project:p/worker:w", grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: /session:s/project:p/worker:w" + kExpected},
      // Kind words match by prefix, but dispatch compares the path as written.
      {"/sess:s/proj:q", grpc::StatusCode::INVALID_ARGUMENT,
       "Invalid url: /sess:s/proj:q" + kExpected},
      {"/model:m", grpc::StatusCode::INVALID_ARGUMENT, "Invalid url: /model:m" + kExpected},
      {"/app", grpc::StatusCode::INVALID_ARGUMENT, "Invalid url: /app" + kExpected},
      {"session:s", grpc::StatusCode::INVALID_ARGUMENT, "Invalid url: session:s" + kExpected},
  };
  for (const Case& c : kCases) {
    CreateProjectRequest request;
    request.set_url(c.url);
    CreateProjectResponse response;
    const grpc::Status status = harness.Call(&Stub::CreateProject, request, &response);
    EXPECT_EQ(status.error_code(), c.code) << c.url;
    if (status.ok()) {
      EXPECT_EQ(response.url(), c.message_or_reply);
    } else {
      EXPECT_EQ(status.error_message(), c.message_or_reply) << c.url;
    }
  }

  // A session URL alone makes a project with a new uuid.
  CreateProjectRequest request;
  request.set_url("/session:s");
  CreateProjectResponse response;
  ASSERT_TRUE(harness.Call(&Stub::CreateProject, request, &response).ok());
  const std::string kPrefix = "/session:s/project:";
  ASSERT_EQ(response.url().rfind(kPrefix, 0), 0u) << response.url();
  const std::string id = response.url().substr(kPrefix.size());
  const boost::uuids::uuid uuid = boost::uuids::string_generator()(id);
  EXPECT_EQ(boost::uuids::to_string(uuid), id);
  EXPECT_EQ(uuid.version(), boost::uuids::uuid::version_random_number_based);
  EXPECT_NE(harness.ProjectOf(response.url()), nullptr);
}

TEST(ServiceFrameTest, MethodsWithoutHandlerAreUnimplemented) {
  ServiceHarness harness;
  EXPECT_EQ(harness.Call(&Stub::GetListEx, GetListExRequest()).error_code(),
            grpc::StatusCode::UNIMPLEMENTED);
  const grpc::Status status = harness.Call(&Stub::GetProjectConfigurationSettings,
                                           GetProjectConfigurationSettingsRequest());
  EXPECT_EQ(status.error_code(), grpc::StatusCode::UNIMPLEMENTED);
  EXPECT_EQ(status.error_message(), "");
}

TEST(ServiceFrameTest, RequestsAreTracedAndFailuresLoggedWithClientTextQuoted) {
  ServiceHarness harness;
  CapturingLogger log;
  CreateProjectRequest request;
  request.set_url("/session:" + kLongId);
  ASSERT_FALSE(harness.Call(&Stub::CreateProject, request).ok());
  const std::string text = log.Text();
  EXPECT_NE(text.find("[trace] Create project, url: /session:" + std::string(247, 'x') + "...\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[error] Session not found: " + kLongIdQuoted + "\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find(kLongId), std::string::npos);
}

}  // namespace
}  // namespace zelph::testing
