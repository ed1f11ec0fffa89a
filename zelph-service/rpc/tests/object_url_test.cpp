// object_url_test.cpp
//
// Object URLs: which node a URL selects and with which ids, its id-free path, the URLs its
// nodes build, and the checks with their exact messages, over the odd forms clients send.
#include "zelph/rpc/object_url.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr UrlPlace kAllPlaces[] = {
    UrlPlace::kRoot,         UrlPlace::kSession,         UrlPlace::kModel,
    UrlPlace::kApp,          UrlPlace::kProject,         UrlPlace::kWorker,
    UrlPlace::kLink,         UrlPlace::kInput,           UrlPlace::kOutput,
    UrlPlace::kProperty,     UrlPlace::kCache,           UrlPlace::kStatistic,
    UrlPlace::kPreview,      UrlPlace::kProjectModel,    UrlPlace::kStatus,
    UrlPlace::kConfig,       UrlPlace::kError,           UrlPlace::kSetting,
    UrlPlace::kSettings,     UrlPlace::kWorkerData,      UrlPlace::kWorkerProperty,
    UrlPlace::kWorkerSystem, UrlPlace::kWorkerInput,     UrlPlace::kWorkerOutput,
    UrlPlace::kWorkerPort,   UrlPlace::kSettingProperty, UrlPlace::kTemplate,
};

struct UrlCase {
  std::string url;
  std::optional<UrlPlace> matched;
  // "name=id" of every node with an id, top down; all others must have none.
  std::string ids;
  std::string path;
  std::string matched_url;  // BuildUrl of the matched node
  std::string invalid;      // the check's message; empty when the URL passes
};

// "name=id" of every node with a present id, in the order of the tree; an absent id and an
// empty one differ ("session" against "session=").
std::string Ids(const ObjectUrl& url) {
  std::string ids;
  for (UrlPlace place : kAllPlaces) {
    const ObjectUrlNode node = url.Node(place);
    if (!node.HasId()) {
      EXPECT_EQ(node.GetId(), "");
      continue;
    }
    if (!ids.empty()) ids += ' ';
    ids += std::string(node.GetName()) + "=" + std::string(node.GetId());
  }
  return ids;
}

std::string Reason(const std::string& url, const std::string& reason) {
  return "Invalid url: " + url + ", " + reason;
}

const std::string kPU = "/session:s/project:p";

const std::vector<UrlCase> kUrlCases = {
    {"", std::nullopt, "", "/", "", "Url is empty"},
    {"/", std::nullopt, "", "/", "", ""},
    {"session:1", std::nullopt, "", "session", "", ""},
    {"/session:s/project:p/worker:w", UrlPlace::kWorker, "session=s project=p worker=w",
     "/session/project/worker", "/session:s/project:p/worker:w", ""},
    // A segment without ":" selects its node without an id and ends matching.
    {"/session/project:p", UrlPlace::kSession, "", "/session/project", "/session",
     Reason("/session/project:p", "/session:id required")},
    {"/session:s/project/worker:w", UrlPlace::kProject, "session=s", "/session/project/worker",
     "/session:s/project", Reason("/session:s/project/worker:w", "/session/project:id required")},
    {"/session:S/project", UrlPlace::kProject, "session=S", "/session/project",
     "/session:S/project", Reason("/session:S/project", "/session/project:id required")},
    // An empty id is present.
    {"/session:", UrlPlace::kSession, "session=", "/session", "/session:", ""},
    // Matching splits at the last ":", the path drops from the first.
    {"/session:a:b/project:c", std::nullopt, "", "/session/project", "",
     Reason("/session:a:b/project:c", "/session:id required")},
    // Names match by prefix; the path keeps what the client wrote.
    {"/sess:1/proj:2", UrlPlace::kProject, "session=1 project=2", "/sess/proj",
     "/session:1/project:2", ""},
    {kPU + "/s:x", UrlPlace::kStatistic, "session=s project=p statistic=x", "/session/project/s",
     kPU + "/statistic:x", ""},
    {kPU + "/sett:x", UrlPlace::kSetting, "session=s project=p setting=x", "/session/project/sett",
     kPU + "/setting:x", ""},
    {kPU + "/settings:x", UrlPlace::kSettings, "session=s project=p settings=x",
     "/session/project/settings", kPU + "/settings:x", ""},
    // An empty name selects the first child.
    {"/:x", UrlPlace::kSession, "session=x", "/", "/session:x", ""},
    {kPU + "/:w", UrlPlace::kWorker, "session=s project=p worker=w", "/session/project/",
     kPU + "/worker:w", ""},
    // A name longer than every child's selects nothing, but the path is still checked by
    // prefix.
    {"/sessionX:s", std::nullopt, "", "/sessionX", "",
     Reason("/sessionX:s", "/session:id required")},
    {"/modelX:1", std::nullopt, "", "/modelX", "", Reason("/modelX:1", "/model:id required")},
    {"/session:s/", UrlPlace::kSession, "session=s", "/session/", "/session:s", ""},
    {"/session:s?x=1", UrlPlace::kSession, "session=s?x=1", "/session", "/session:s?x=1", ""},
    // Kinds the tree does not know end matching but stay in the path.
    {"/model:m/other:x", UrlPlace::kModel, "model=m", "/model/other", "/model:m", ""},
    {kPU + "/execution_status", UrlPlace::kProject, "session=s project=p",
     "/session/project/execution_status", kPU, ""},
    {kPU + "/worker:w/status", UrlPlace::kWorker, "session=s project=p worker=w",
     "/session/project/worker/status", kPU + "/worker:w", ""},
    {"/app/template:t", UrlPlace::kApp, "", "/app/template", "/app", ""},
    {"/app:a/template:t", UrlPlace::kTemplate, "app=a template=t", "/app/template",
     "/app:a/template:t", ""},
    {kPU + "/setting:x/property:n", UrlPlace::kSettingProperty,
     "session=s project=p setting=x property=n", "/session/project/setting/property",
     kPU + "/setting:x/property:n", ""},
    {kPU + "/worker:w/property:a\\b/more:1", UrlPlace::kWorkerProperty,
     "session=s project=p worker=w property=a\\b", "/session/project/worker/property/more",
     kPU + "/worker:w/property:a\\b", ""},
    // The text ends at its first NUL.
    {std::string("/session:s\0/project:p", 21), UrlPlace::kSession, "session=s", "/session",
     "/session:s", ""},
    // Each id rule, in the order the checks run.
    {"/model", UrlPlace::kModel, "", "/model", "/model", Reason("/model", "/model:id required")},
    {"/session/project/worker", UrlPlace::kSession, "", "/session/project/worker", "/session",
     Reason("/session/project/worker", "/session:id required")},
    {kPU + "/property", UrlPlace::kProperty, "session=s project=p", "/session/project/property",
     kPU + "/property", Reason(kPU + "/property", "/session/project/property:id required")},
    {kPU + "/input", UrlPlace::kInput, "session=s project=p", "/session/project/input",
     kPU + "/input", Reason(kPU + "/input", "/session/project/input:id required")},
    {kPU + "/output", UrlPlace::kOutput, "session=s project=p", "/session/project/output",
     kPU + "/output", Reason(kPU + "/output", "/session/project/output:id required")},
    {kPU + "/link", UrlPlace::kLink, "session=s project=p", "/session/project/link", kPU + "/link",
     Reason(kPU + "/link", "/session/project/link:id required")},
    {kPU + "/worker/property:n", UrlPlace::kWorker, "session=s project=p",
     "/session/project/worker/property", kPU + "/worker",
     Reason(kPU + "/worker/property:n", "/session/project/worker:id required")},
    {kPU + "/statistic", UrlPlace::kStatistic, "session=s project=p", "/session/project/statistic",
     kPU + "/statistic", Reason(kPU + "/statistic", "/session/project/statistic:id required")},
    {kPU + "/worker:w/property", UrlPlace::kWorkerProperty, "session=s project=p worker=w",
     "/session/project/worker/property", kPU + "/worker:w/property",
     Reason(kPU + "/worker:w/property", "/session/project/worker/property:id required")},
    // Kinds without an id rule pass without ids.
    {kPU + "/cache", UrlPlace::kCache, "session=s project=p", "/session/project/cache",
     kPU + "/cache", ""},
};

TEST(ObjectUrlTest, SelectsNodesWithIdsPathsAndChecks) {
  for (const UrlCase& c : kUrlCases) {
    SCOPED_TRACE("url: " + c.url);
    const ObjectUrl url(c.url);
    EXPECT_EQ(url.GetPath(), c.path);

    const std::optional<ObjectUrlNode> matched = url.GetMatchedNode();
    ASSERT_EQ(matched.has_value(), c.matched.has_value());
    if (matched) {
      EXPECT_EQ(matched->GetPlace(), *c.matched);
      EXPECT_EQ(matched->BuildUrl(), c.matched_url);
    }

    EXPECT_EQ(Ids(url), c.ids);

    const grpc::Status status = ValidateObjectUrl(c.url);
    EXPECT_EQ(status.error_code(),
              c.invalid.empty() ? grpc::StatusCode::OK : grpc::StatusCode::INVALID_ARGUMENT);
    EXPECT_EQ(status.error_message(), c.invalid);
    EXPECT_EQ(status.error_details(), "");
  }
}

// Nodes that no segment selected build their kind path without ids; ancestors that were
// selected keep theirs.
TEST(ObjectUrlTest, EveryPlaceBuildsItsKindPath) {
  const std::pair<UrlPlace, std::string_view> kPaths[] = {
      {UrlPlace::kRoot, ""},
      {UrlPlace::kSession, "/session"},
      {UrlPlace::kModel, "/model"},
      {UrlPlace::kApp, "/app"},
      {UrlPlace::kProject, "/session/project"},
      {UrlPlace::kWorker, "/session/project/worker"},
      {UrlPlace::kLink, "/session/project/link"},
      {UrlPlace::kInput, "/session/project/input"},
      {UrlPlace::kOutput, "/session/project/output"},
      {UrlPlace::kProperty, "/session/project/property"},
      {UrlPlace::kCache, "/session/project/cache"},
      {UrlPlace::kStatistic, "/session/project/statistic"},
      {UrlPlace::kPreview, "/session/project/preview"},
      {UrlPlace::kProjectModel, "/session/project/model"},
      {UrlPlace::kStatus, "/session/project/status"},
      {UrlPlace::kConfig, "/session/project/config"},
      {UrlPlace::kError, "/session/project/error"},
      {UrlPlace::kSetting, "/session/project/setting"},
      {UrlPlace::kSettings, "/session/project/settings"},
      {UrlPlace::kWorkerData, "/session/project/worker/data"},
      {UrlPlace::kWorkerProperty, "/session/project/worker/property"},
      {UrlPlace::kWorkerSystem, "/session/project/worker/system"},
      {UrlPlace::kWorkerInput, "/session/project/worker/input"},
      {UrlPlace::kWorkerOutput, "/session/project/worker/output"},
      {UrlPlace::kWorkerPort, "/session/project/worker/port"},
      {UrlPlace::kSettingProperty, "/session/project/setting/property"},
      {UrlPlace::kTemplate, "/app/template"},
  };
  ASSERT_EQ(std::size(kPaths), std::size(kAllPlaces));
  const ObjectUrl none("");
  const ObjectUrl session("/session:s");
  for (const auto& [place, path] : kPaths) {
    EXPECT_EQ(none.Node(place).BuildUrl(), path);
    const std::string with_session(path.starts_with("/session")
                                       ? "/session:s" + std::string(path.substr(8))
                                       : std::string(path));
    EXPECT_EQ(session.Node(place).BuildUrl(), with_session);
  }
  EXPECT_EQ(ObjectUrl(kPU + "/worker:w/property:q").Node(UrlPlace::kWorker).BuildUrl(),
            kPU + "/worker:w");
  EXPECT_EQ(none.Node(UrlPlace::kWorkerPort).GetParent()->GetPlace(), UrlPlace::kWorker);
  EXPECT_FALSE(none.Node(UrlPlace::kRoot).GetParent());
  EXPECT_EQ(none.Node(UrlPlace::kSettingProperty).GetName(), "property");
}

// Ids are kept as positions in the object's own text, so a copy reads its own text and
// outlives the source and the client's string.
TEST(ObjectUrlTest, CopiesKeepTheirIds) {
  std::optional<ObjectUrl> source;
  {
    std::string text = kPU + "/worker:" + std::string(100, 'w');
    source.emplace(text);
    text.assign(text.size(), '?');
  }
  ObjectUrl copy = *source;
  const ObjectUrl moved = std::move(*source);
  source.reset();
  EXPECT_EQ(copy.Node(UrlPlace::kWorker).GetId(), std::string(100, 'w'));
  EXPECT_EQ(moved.Node(UrlPlace::kWorker).GetId(), std::string(100, 'w'));
  EXPECT_EQ(copy.GetMatchedNode()->BuildUrl(), kPU + "/worker:" + std::string(100, 'w'));
}

TEST(ObjectUrlTest, StatusesQuoteAtMost256BytesOfTheUrl) {
  const std::string url = "/session/" + std::string(1000, 'x');
  const grpc::Status invalid = ValidateObjectUrl(url);
  EXPECT_EQ(invalid.error_code(), grpc::StatusCode::INVALID_ARGUMENT);
  EXPECT_EQ(invalid.error_message(),
            "Invalid url: " + url.substr(0, 256) + "..., /session:id required");

  const grpc::Status own = MakeInvalidUrlStatus("/x", "/session or /session/project expected");
  EXPECT_EQ(own.error_code(), grpc::StatusCode::INVALID_ARGUMENT);
  EXPECT_EQ(own.error_message(), "Invalid url: /x, /session or /session/project expected");
  EXPECT_EQ(own.error_details(), "");

  EXPECT_TRUE(CheckUrlNotEmpty("/").ok());
  EXPECT_EQ(CheckUrlNotEmpty("").error_message(), "Url is empty");
}

}  // namespace
