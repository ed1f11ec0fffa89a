// object_walk_test.cpp
//
// A client that knows nothing but "/": it lists its way down to every object of two loaded
// projects, asks Exists and GetData of each object URL it found, and then removes everything
// it can. Every URL a list hands out must be one that the other methods accept.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "readable_objects.h"
#include "service_harness.h"
#include "zelph/rpc/object_url.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

// Every URL reachable from "/" by GetList, each listed once, in the order found. Only an
// error's URL may not be listed: a client lists errors, not what lies below one.
std::vector<std::string> Walk(ServiceHarness& harness) {
  std::vector<std::string> found;
  std::set<std::string> seen = {"/"};
  std::deque<std::string> pending = {"/"};
  while (!pending.empty()) {
    GetListRequest request;
    request.set_url(pending.front());
    pending.pop_front();
    GetListResponse response;
    const grpc::Status status = harness.Call(&Stub::GetList, request, &response);
    EXPECT_TRUE(status.ok() || ObjectUrl(request.url()).GetPath() == "/session/project/error")
        << request.url() << ": " << status.error_message();
    for (const std::string& url : response.url()) {
      if (!seen.insert(url).second) continue;
      found.push_back(url);
      pending.push_back(url);
    }
  }
  return found;
}

// An object URL names one object: its last segment carries an id, or it is a status. The
// others name kinds.
bool IsObjectUrl(const std::string& url) {
  return url.find(':', url.rfind('/')) != std::string::npos || url.ends_with("/status");
}

// The objects that Exists does not know: solutions, models of a project, errors, the
// project's status (a kind without an id) and a worker's, whose path names no kind of the
// grammar.
bool ExistsKnows(const std::string& url) {
  if (url.starts_with("/app")) return false;
  const std::string path = ObjectUrl(url).GetPath();
  return path != "/session/project/model" && path != "/session/project/error" &&
         path != "/session/project/status" && path != "/session/project/worker/status";
}

// Removed in this order, so that nothing is removed before what it holds.
int RemovalRank(const std::string& url) {
  const char* kinds[] = {
      "/input:", "/output:", "/statistic:", "/link:", "/worker:", "/project:", "/session:"};
  for (int rank = 0; rank < static_cast<int>(std::size(kinds)); ++rank) {
    if (url.find(kinds[rank]) != std::string::npos) return rank;
  }
  return -1;
}

TEST(ObjectWalkTest, FromTheRootToEveryLeafAndAway) {
  ServiceHarness harness;
  const ReadableObjects objects(harness);
  const std::vector<std::string> found = Walk(harness);
  std::vector<std::string> leaves;
  std::copy_if(found.begin(), found.end(), std::back_inserter(leaves), IsObjectUrl);
  // The walk reaches each kind of object of the loaded projects.
  for (const std::string& expected :
       {objects.line + "/worker:" + kLineScaleId, objects.line + "/link:" + kLineFirstLink,
        objects.line + "/input:x", objects.line + "/preview:" + kLineScaleId,
        objects.line + "/statistic:" + kLineScaleId, objects.line + "/error:" + kLineScaleId,
        objects.line + "/property:chain.name",
        objects.line + "/worker:" + kLineScaleId + "/system:weight",
        objects.line + "/worker:" + kLineScaleId + "/status",
        objects.settings + "/setting:" + kMainWorkerId,
        objects.settings + "/worker:" + kMainWorkerId + "/property:threshold",
        objects.settings + "/model:" + kMainModel, "/model:" + std::string(kScaleModel),
        "/app:" + std::string(kDemoAppId)}) {
    EXPECT_NE(std::find(leaves.begin(), leaves.end(), expected), leaves.end()) << expected;
  }

  // Each object URL exists, or is one of those Exists does not know, or is a control of a
  // worker's model that the worker holds no value of; GetData reads what exists.
  for (const std::string& url : leaves) {
    ExistsRequest exists;
    exists.add_url(url);
    ExistsResponse existing;
    ASSERT_TRUE(harness.Call(&Stub::Exists, exists, &existing).ok()) << url;
    const bool found_to_exist = existing.exists(0).bool_val();
    const std::string path = ObjectUrl(url).GetPath();
    if (!ExistsKnows(url)) {
      EXPECT_FALSE(found_to_exist) << url;
    } else if (path != "/session/project/worker/property") {
      EXPECT_TRUE(found_to_exist) << url;
    }
    if (path == "/session") continue;  // GetData reads no session
    GetDataRequest get;
    get.add_url(url);
    GetDataResponse data;
    const grpc::Status read = harness.Call(&Stub::GetData, get, &data);
    EXPECT_EQ(read.ok(), found_to_exist || !ExistsKnows(url))
        << url << ": " << read.error_message();
    if (read.ok()) {
      ASSERT_EQ(data.data_size(), 1) << url;
      EXPECT_NE(data.data(0).value_case(), GAnyData::VALUE_NOT_SET) << url;
    }
  }

  std::vector<std::string> removable;
  std::copy_if(leaves.begin(), leaves.end(), std::back_inserter(removable),
               [](const std::string& url) {
                 const std::string path = ObjectUrl(url).GetPath();
                 return path == "/session" || path == "/session/project" ||
                        path == "/session/project/worker" || path == "/session/project/link" ||
                        path == "/session/project/statistic" || path == "/session/project/input" ||
                        path == "/session/project/output";
               });
  std::stable_sort(removable.begin(), removable.end(),
                   [](const auto& a, const auto& b) { return RemovalRank(a) < RemovalRank(b); });
  RemoveRequest remove;
  for (const std::string& url : removable) remove.add_url(url);
  RemoveResponse removed;
  const grpc::Status status = harness.Call(&Stub::Remove, remove, &removed);
  ASSERT_TRUE(status.ok()) << status.error_message();

  // What is left is what no client removes: the models and the solutions.
  for (const std::string& url : Walk(harness)) EXPECT_FALSE(url.starts_with("/session:")) << url;
}

}  // namespace
}  // namespace zelph::testing
