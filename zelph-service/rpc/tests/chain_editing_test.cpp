// chain_editing_test.cpp
//
// CreateWorker, CreateLink and UpdateLink through the client stub: a worker made from a
// model the client listed, linked into the chain and re-plugged, the source port's cached
// data following each link to its destination port; and the refusals of each method.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "service_harness.h"
#include "status_cases.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/projects/project.h"
#include "zelph/testing/service_fixtures.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

std::vector<std::string> List(ServiceHarness& harness, const std::string& url) {
  GetListRequest request;
  request.set_url(url);
  GetListResponse response;
  EXPECT_TRUE(harness.Call(&Stub::GetList, request, &response).ok()) << url;
  return {response.url().begin(), response.url().end()};
}

std::string PortUrl(const std::string& project, const std::string& worker,
                    const std::string& port) {
  return project + "/worker:" + worker + "/port:" + port;
}

// The ids of the link's ends, read under the project's lock.
std::pair<std::string, std::string> LinkEnds(Project& project, const std::string& link_id) {
  std::shared_lock lock(project.GetLock());
  Link* link = project.GetLink(link_id);
  return {link->GetSrcPort() ? link->GetSrcPort()->GetId() : "",
          link->GetDestPort() ? link->GetDestPort()->GetId() : ""};
}

TEST(ChainEditingTest, AWorkerFromAListedModelIsLinkedAndRepluggedWithTheCacheFollowing) {
  ServiceHarness harness;
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  const std::shared_ptr<Project> project = harness.ProjectOf(p);

  const std::vector<std::string> models = List(harness, "/model");
  const std::string scale_model = "/model:" + std::string(kScaleModel);
  ASSERT_NE(std::find(models.begin(), models.end(), scale_model), models.end());
  CreateWorkerRequest create;
  create.set_url(p);
  create.set_model_url(scale_model);
  CreateWorkerResponse created;
  ASSERT_TRUE(harness.Call(&Stub::CreateWorker, create, &created).ok());
  const std::string worker_url = created.url();
  ASSERT_TRUE(worker_url.starts_with(p + "/worker:"));
  const std::string worker_id = worker_url.substr(worker_url.rfind(':') + 1);
  EXPECT_EQ(List(harness, p + "/worker").back(), worker_url);
  const std::shared_ptr<IDataProcess> worker = project->GetWorker(worker_id);
  EXPECT_EQ(worker->GetSessionId(), project->GetPluginSessionKey());
  const std::string input = worker->GetPorts().front()->GetId();

  // The sink's output feeds the new worker; its cached data goes along.
  const auto data = std::make_shared<PortDataScalar>(std::string("frame"));
  project->SetCache("/cache:" + std::string(kLineSinkOutput), data, 7);
  CreateLinkRequest link;
  link.set_url(p);
  link.set_src_url(PortUrl(p, "sink", kLineSinkOutput));
  link.set_dst_url(PortUrl(p, worker_id, input));
  CreateLinkResponse linked;
  const grpc::Status status = harness.Call(&Stub::CreateLink, link, &linked);
  ASSERT_TRUE(status.ok()) << status.error_message();
  ASSERT_TRUE(linked.url().starts_with(p + "/link:"));
  const std::string link_id = linked.url().substr(linked.url().rfind(':') + 1);
  EXPECT_EQ(List(harness, p + "/link").back(), linked.url());
  EXPECT_EQ(LinkEnds(*project, link_id), std::pair(std::string(kLineSinkOutput), input));
  const DataEx copied = project->GetCache("/cache:" + input);
  EXPECT_EQ(copied.data, data);
  EXPECT_GT(copied.modified, 7);

  // Re-plugged to the scale's output, which has no cached data: the entry is emptied.
  UpdateLinkRequest update;
  update.set_url(linked.url());
  update.set_src_url(PortUrl(p, "scale", kLineScaleOutput));
  update.set_dst_url(PortUrl(p, worker_id, input));
  ASSERT_TRUE(harness.Call(&Stub::UpdateLink, update).ok());
  EXPECT_EQ(LinkEnds(*project, link_id), std::pair(std::string(kLineScaleOutput), input));
  EXPECT_EQ(project->GetCache("/cache:" + input).data, nullptr);
  EXPECT_GT(project->GetCache("/cache:" + input).modified, 0);

  // A source URL without a port id unplugs that end and copies the "/cache:" entry.
  project->SetCache("/cache:", data);
  update.set_src_url(p + "/worker:scale");
  ASSERT_TRUE(harness.Call(&Stub::UpdateLink, update).ok());
  EXPECT_EQ(LinkEnds(*project, link_id), std::pair(std::string(), input));
  EXPECT_EQ(project->GetCache("/cache:" + input).data, data);
}

TEST(ChainEditingTest, Refusals) {
  ServiceHarness harness;
  const std::string p = harness.NewProject();
  harness.UploadChain(p, "line.json");
  const std::string session = p.substr(0, p.find("/project"));
  const std::string link = p + "/link:" + kLineFirstLink;
  const std::string source = PortUrl(p, "source", kLineSourceOutput);
  const std::string sink = PortUrl(p, "sink", kLineSinkInput);
  auto create_worker = [&](const std::string& url, const std::string& model_url) {
    CreateWorkerRequest request;
    request.set_url(url);
    request.set_model_url(model_url);
    return harness.Call(&Stub::CreateWorker, request);
  };
  auto create_link = [&](const std::string& url, const std::string& src, const std::string& dst) {
    CreateLinkRequest request;
    request.set_url(url);
    request.set_src_url(src);
    request.set_dst_url(dst);
    return harness.Call(&Stub::CreateLink, request);
  };
  auto update_link = [&](const std::string& url, const std::string& src, const std::string& dst) {
    UpdateLinkRequest request;
    request.set_url(url);
    request.set_src_url(src);
    request.set_dst_url(dst);
    return harness.Call(&Stub::UpdateLink, request);
  };
  const std::string scale_model = "/model:" + std::string(kScaleModel);
  const StatusCase kCases[] = {
      {[&] { return create_worker("/session", scale_model); }, kInvalidArgument,
       "Invalid url: /session, /session:id required"},
      {[&] { return create_worker(p, "/model"); }, kInvalidArgument,
       "Invalid url: /model, /model:id required"},
      {[&] { return create_worker(p, "/model:nothing"); }, kInternal, "Model not found: nothing"},
      // The deepest node of the model URL names the model, whatever its kind.
      {[&] { return create_worker(p, p); }, kInternal,
       "Model not found: " + p.substr(p.rfind(':') + 1)},
      {[&] { return create_worker(p, "/x"); }, kInternal, "Model not found: "},
      {[&] { return create_worker(session, scale_model); }, kInvalidArgument,
       "Invalid url only /session/project path supported"},
      {[&] { return create_worker(session + "/project:nothing", scale_model); }, kInternal,
       "Project not found: nothing"},
      {[&] { return create_link(link, source, sink); }, kInvalidArgument,
       "Invalid url: " + link + ", /session/project expected"},
      {[&] { return create_link(p, p + "/worker/port:x", sink); }, kInvalidArgument,
       "Invalid url: " + p + "/worker/port:x, /session/project/worker:id required"},
      // A port segment needs no id, so the lookup of the empty one fails.
      {[&] { return create_link(p, p + "/worker:source/port", sink); }, kInternal,
       "Port not found port id: "},
      {[&] { return create_link(p, p + "/worker:source", sink); }, kInvalidArgument,
       "Source port url invalid"},
      {[&] { return create_link(p, source, p + "/worker:sink/input:x"); }, kInvalidArgument,
       "Destination port url invalid"},
      {[&] { return create_link(p, source, PortUrl(p, "sink", "nope")); }, kInternal,
       "Port not found port id: nope"},
      {[&] { return create_link(p, source, PortUrl(p, "nobody", kLineSinkInput)); }, kInternal,
       "Executor not found with id: nobody"},
      {[&] { return update_link(p, source, sink); }, kInvalidArgument,
       "Invalid url: " + p + ", /session/project/link expected"},
      {[&] { return update_link(p + "/link", source, sink); }, kInvalidArgument,
       "Invalid url: " + p + "/link, /session/project/link:id required"},
      {[&] { return update_link(p + "/link:nope", source, sink); }, kInternal,
       "Link not found, link id: nope"},
      {[&] { return update_link(link, PortUrl(p, "source", "nope"), sink); }, kInternal,
       "Port not found port id: nope"},
  };
  ExpectStatuses(kCases);
  // Nothing of the refused calls changed the chain.
  EXPECT_EQ(List(harness, p + "/worker").size(), 3u);
  EXPECT_EQ(List(harness, p + "/link").size(), 2u);
  const std::shared_ptr<Project> project = harness.ProjectOf(p);
  EXPECT_EQ(LinkEnds(*project, kLineFirstLink),
            std::pair(std::string(kLineSourceOutput), std::string(kLineScaleInput)));
}

}  // namespace
}  // namespace zelph::testing
