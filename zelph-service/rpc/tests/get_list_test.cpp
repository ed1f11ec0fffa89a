// get_list_test.cpp
//
// GetList through the client stub: the kind lists of the grammar and the refusals; the
// objects of loaded projects, each list in its order; and the resource filter, present
// against absent, on cache stamps (unsigned) and status times (signed).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "readable_objects.h"
#include "service_harness.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/object_status.h"
#include "zelph/projects/project.h"
#include "zelph/projects/sharded_map.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

struct Listed {
  grpc::Status status;
  std::vector<std::string> urls;
};

Listed List(ServiceHarness& harness, const std::string& url,
            std::optional<std::int64_t> modified_after = std::nullopt) {
  GetListRequest request;
  request.set_url(url);
  if (modified_after) request.mutable_resource_filter()->set_modified_after(*modified_after);
  GetListResponse response;
  Listed listed{harness.Call(&Stub::GetList, request, &response), {}};
  listed.urls.assign(response.url().begin(), response.url().end());
  return listed;
}

// `prefix` followed by each key, in the order the project's maps keep them: shard by shard,
// keys ascending within a shard.
std::vector<std::string> InShardOrder(const std::string& prefix, std::vector<std::string> keys) {
  std::sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
    const size_t shard_a = ShardedMap<int>::ShardIndex(a);
    const size_t shard_b = ShardedMap<int>::ShardIndex(b);
    return shard_a != shard_b ? shard_a < shard_b : a < b;
  });
  for (std::string& key : keys) key = prefix + key;
  return keys;
}

std::vector<std::string> Prefixed(const std::string& prefix,
                                  const std::vector<std::string>& tails) {
  std::vector<std::string> urls;
  for (const std::string& tail : tails) urls.push_back(prefix + tail);
  return urls;
}

TEST(GetListTest, KindsFromTheGrammarAndRefusals) {
  ServiceHarness harness;
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  const std::string session = p.substr(0, p.find("/project"));
  struct Case {
    std::string url;
    grpc::StatusCode code;
    std::string message;  // of a failure
    std::vector<std::string> urls;
  };
  const grpc::StatusCode kOk = grpc::StatusCode::OK;
  const grpc::StatusCode kInvalid = grpc::StatusCode::INVALID_ARGUMENT;
  const grpc::StatusCode kInternal = grpc::StatusCode::INTERNAL;
  const Case kCases[] = {
      {"/", kOk, "", {"/session", "/model", "/app"}},
      {":x", kOk, "", {"/session", "/model", "/app"}},
      {"/session:nobody", kOk, "", {"/session:nobody/project"}},
      {p, kOk, "",
       Prefixed(p + "/", {"worker", "link", "input", "output", "property", "cache", "statistic",
                          "preview", "model", "status", "config", "error", "setting", "settings"})},
      {p + "/worker:nobody", kOk, "",
       Prefixed(p + "/worker:nobody/", {"data", "property", "system", "input", "output", "port"})},
      {"/model:m", kOk, "", {}},
      {p + "/model:m", kOk, "", {}},
      {p + "/property:chain.name", kOk, "", {}},
      {p + "/statistic:" + kLineScaleId, kOk, "", {}},
      {p + "/worker:scale/system:x", kOk, "", {}},
      {p + "/link:" + kLineFirstLink, kOk, "", {}},
      {p + "/input:x", kOk, "", {}},
      {p + "/xyz", kOk, "", {}},
      {"/session:nobody/project", kOk, "", {}},
      {"/session/project/link", kOk, "", {}},
      {"/session/project/worker",
       kInvalid,
       "Invalid url: /session/project, /session:id required",
       {}},
      {p + "/error:e", kInvalid, "Invalid url: " + p + "/error:e, id required", {}},
      {"/foo", kInvalid, "[GetList] Incorrect/Unsupported object url: /foo", {}},
      {"/session:s/", kInvalid, "[GetList] Incorrect/Unsupported object url: /session:s/", {}},
      {"", kInvalid, "Url is empty", {}},
      {session + "/project:nothing/worker", kInternal, "Project not found: nothing", {}},
      {"/session:nothing/project:p/input", kInternal, "Session not found: nothing", {}},
      {p + "/worker:nobody/property", kInternal, "Executor not found with id: nobody", {}},
      {p + "/worker:nobody/system", kInternal, "Executor not found with id: nobody", {}},
  };
  for (const Case& c : kCases) {
    const Listed listed = List(harness, c.url);
    EXPECT_EQ(listed.status.error_code(), c.code) << c.url;
    EXPECT_EQ(listed.status.error_message(), c.message) << c.url;
    EXPECT_EQ(listed.urls, c.urls) << c.url;
  }
}

TEST(GetListTest, ObjectsOfLoadedProjectsInTheirOrder) {
  ServiceHarness harness;
  const ReadableObjects objects(harness);
  const std::string& p = objects.line;
  const std::string& m = objects.settings;
  const std::string p_session = p.substr(0, p.find("/project"));
  const std::string m_session = m.substr(0, m.find("/project"));
  struct Case {
    std::string url;
    std::vector<std::string> urls;
  };
  const Case kCases[] = {
      {"/session", {"/session:default", p_session, m_session}},
      {p_session + "/project", {p}},
      {p + "/worker", Prefixed(p + "/worker:", {kLineSourceId, kLineScaleId, kLineSinkId})},
      {p + "/link", Prefixed(p + "/link:", {kLineFirstLink, kLineSecondLink})},
      {m + "/worker:dashboard/property",
       Prefixed(m + "/worker:dashboard/property:", {"threshold", "label"})},
      {p + "/worker:scale/property", {}},
      {m + "/model", {m + "/model:" + kMainModel}},
      // The Value worker is a data model; the main setting follows.
      {m + "/setting:ignored",
       {m + "/worker:1a2b0000-0000-4000-8000-0000000000f3", m + "/setting:" + kMainWorkerId}},
      {p + "/statistic",
       InShardOrder(p + "/statistic:", {kLineSourceId, kLineScaleId, kLineSinkId, kLineChainId})},
      {p + "/error", {p + "/error:" + kLineScaleId}},
      {p + "/status", {p + "/worker:" + kLineScaleId + "/status"}},
      {p + "/input", {p + "/input:x"}},
      {p + "/in", {p + "/input:x"}},
      {p + "/worker:scale/output", {p + "/worker:scale/output:output"}},
      {p + "/worker/output", {p + "/worker:scale/output:output"}},
      {p + "/preview", {p + "/preview:" + kLineScaleId}},
      {p + "/cache", {}},
      {"/app:" + std::string(kDemoAppId) + "/template:ignored",
       {"/app:" + std::string(kDemoAppId) + "/template:" + kFastTemplateId}},
      {"/app/template", {}},
  };
  for (const Case& c : kCases) {
    const Listed listed = List(harness, c.url);
    EXPECT_TRUE(listed.status.ok()) << c.url << ": " << listed.status.error_message();
    EXPECT_EQ(listed.urls, c.urls) << c.url;
  }

  // Property names ascend; the bag holds the chain's mirror.
  const Listed properties = List(harness, p + "/property");
  EXPECT_TRUE(std::is_sorted(properties.urls.begin(), properties.urls.end()));
  EXPECT_NE(std::find(properties.urls.begin(), properties.urls.end(), p + "/property:chain.name"),
            properties.urls.end());
  const Listed system = List(harness, p + "/worker:scale/system");
  EXPECT_TRUE(std::is_sorted(system.urls.begin(), system.urls.end()));
  EXPECT_NE(std::find(system.urls.begin(), system.urls.end(), p + "/worker:scale/system:weight"),
            system.urls.end());

  // The models of no session, and apps in no order a client may rely on, after a rescan.
  const Listed models = List(harness, "/model");
  EXPECT_NE(std::find(models.urls.begin(), models.urls.end(), "/model:" + std::string(kScaleModel)),
            models.urls.end());
  std::vector<std::string> apps = List(harness, "/app:anything").urls;
  std::sort(apps.begin(), apps.end());
  std::vector<std::string> expected_apps =
      Prefixed("/app:", {kDemoAppId, kNestedAppId, kTwinAppId, kSettingsAppId});
  std::sort(expected_apps.begin(), expected_apps.end());
  EXPECT_EQ(apps, expected_apps);
}

// Stamps and times set behind the API: cache entries at 0, 5 and 50; worker statuses at 3
// (source) and 100 (scale); the chain's own status at 100.
TEST(GetListTest, ResourceFilterPresentAgainstAbsent) {
  ServiceHarness harness;
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(p);
  const auto data = std::make_shared<PortDataScalar>(std::string("v"));
  project->SetCache("/input:zero", data, 0);
  project->SetCache("/input:a", data, 5);
  project->SetCache("/input:b", data, 50);
  const auto status_at = [&](const std::string& id, std::int64_t time) {
    auto status = std::make_shared<ObjectStatusData>();
    status->time = time;
    project->GetObjectStatuses().Set(id, status);
  };
  status_at(kLineSourceId, 3);
  status_at(kLineScaleId, 100);
  status_at(kLineChainId, 100);
  const std::string source_status = p + "/worker:" + kLineSourceId + "/status";
  const std::string scale_status = p + "/worker:" + kLineScaleId + "/status";
  const std::string chain_status = p + "/status";
  const std::vector<std::string> statistics =
      InShardOrder(p + "/statistic:", {kLineSourceId, kLineScaleId, kLineSinkId, kLineChainId});

  struct Case {
    std::optional<std::int64_t> modified_after;
    std::vector<std::string> inputs;  // keys
    std::vector<std::string> statuses;
    bool statistics;  // all or none
  };
  const Case kCases[] = {
      {std::nullopt, {"/input:zero", "/input:a", "/input:b"}, {source_status, scale_status}, true},
      {0, {"/input:a", "/input:b"}, {source_status, scale_status, chain_status}, true},
      {5, {"/input:b"}, {scale_status, chain_status}, true},
      {-1, {}, {source_status, scale_status, chain_status}, false},
      {100, {}, {}, true},
      {std::int64_t{1} << 62, {}, {}, false},
  };
  for (const Case& c : kCases) {
    const std::string label =
        c.modified_after ? std::to_string(*c.modified_after) : std::string("no filter");
    EXPECT_EQ(List(harness, p + "/input", c.modified_after).urls, InShardOrder(p, c.inputs))
        << label;
    EXPECT_EQ(List(harness, p + "/status", c.modified_after).urls, c.statuses) << label;
    EXPECT_EQ(List(harness, p + "/statistic", c.modified_after).urls,
              c.statistics ? statistics : std::vector<std::string>())
        << label;
  }
}

}  // namespace
}  // namespace zelph::testing
