// get_data_project.cpp
//
// GetData of a project's own objects: its chain as chain-file text, the execution status of
// the worker its chain is at, a worker with its model and ports, a link's ends, and the
// status texts of the chain and of a worker.
#include "zelph/config/rapidjson.h"
// (RapidJSON's own headers after the one above.)
#include <fmt/format.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "handler_frame.h"
#include "reply_element.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/projects/object_status.h"
#include "zelph/projects/project.h"
#include "zelph/projects/worker_document.h"
#include "zelph/rpc/handler_text.h"
#include "zelph/rpc/model_messages.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/zelph_service.h"

namespace {

// What a client learns of a link: texts copied while the project's lock is held, since the
// link and its ports belong to the chain and go with the next structural edit.
struct LinkEnds {
  std::string source_worker_id;
  std::string source_port_id;
  std::string destination_worker_id;
  std::string destination_port_id;
};

LinkEnds ReadLinkEnds(const zelph::Project& project, const std::string& link_id) {
  std::shared_lock lock(project.GetLock());
  const Link* link = project.GetChain()->FindLink(link_id);
  if (link == nullptr) {
    throw std::runtime_error(
        fmt::format("Link not found, link id: {}", zelph::QuoteClientText(link_id)));
  }
  LinkEnds ends;
  if (const std::shared_ptr<IDataProcess> worker = link->GetSrcWorker()) {
    ends.source_worker_id = worker->GetId();
  }
  if (const zelph::Port* port = link->GetSrcPort()) ends.source_port_id = port->GetId();
  if (const std::shared_ptr<IDataProcess> worker = link->GetDstWorker()) {
    ends.destination_worker_id = worker->GetId();
  }
  if (const zelph::Port* port = link->GetDestPort()) ends.destination_port_id = port->GetId();
  return ends;
}

// {"id":..., "src_worker_id":..., "src_port_id":..., "dest_worker_id":..., "dest_port_id":...}
// compact, each end's member only when its text is not empty.
std::string LinkJson(const std::string& link_id, const LinkEnds& ends) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.StartObject();
  auto member = [&](const char* key, const std::string& text) {
    if (text.empty()) return;
    writer.Key(key);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  };
  writer.Key("id");
  writer.String(link_id.data(), static_cast<rapidjson::SizeType>(link_id.size()));
  member("src_worker_id", ends.source_worker_id);
  member("src_port_id", ends.source_port_id);
  member("dest_worker_id", ends.destination_worker_id);
  member("dest_port_id", ends.destination_port_id);
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

// The status text and its time; "undefined" at 0 for an object that never had one.
void AddStatus(const ObjectUrl& url, const std::shared_ptr<zelph::ObjectStatusData>& status,
               zelph::GetDataResponse& response) {
  zelph::GAnyData* element = response.add_data();
  element->set_url(url.GetUrl());
  if (!status) {
    element->set_string_val(zelph::ObjectStatusText(0));
    return;
  }
  // Read as one pair, so a new status never goes out with the time of the old one.
  const zelph::ObjectStatusReading reading = status->Read();
  element->set_modified(reading.time);
  element->set_string_val(zelph::ObjectStatusText(reading.status));
}

}  // namespace

grpc::Status ZelphServiceV2Impl::GetProject(const ObjectUrl& url, zelph::GetDataResponse& response,
                                            zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "url path: {}", zelph::QuoteClientText(url.GetPath()));
  // The chain text is written once, into the element, which is reserved before it joins the
  // reply.
  zelph::GAnyData element;
  element.set_url(url.GetUrl());
  element.set_string_val(project->GetChainJson());
  return zelph::rpc::AddReservedElement(std::move(element), response, reply);
}

grpc::Status ZelphServiceV2Impl::GetProjectExecutionStatus(const ObjectUrl& url,
                                                           zelph::GetDataResponse& response) {
  // The chain answers from any thread while it runs, so no project lock is taken.
  const ExecutionStatus status = GetProject(url)->GetChain()->GetExecutionStatus();
  zelph::GAnyData* element = response.add_data();
  element->set_url(url.GetUrl());
  zelph::GExecutionStatus* message = element->mutable_execution_status();
  message->set_full(status.full);
  message->set_information(status.information);
  message->set_messages(status.messages);
  message->set_comments(status.comments);
  message->set_json(status.json);
  message->set_custom_json(status.custom_json);
  return grpc::Status::OK;
}

// The worker is held by its own reference, so it and its ports stay valid while they are
// read, even if a client removes it meanwhile.
grpc::Status ZelphServiceV2Impl::GetDataProjectWorker(const ObjectUrl& url,
                                                      zelph::GetDataResponse& response,
                                                      zelph::rpc::ReplySize& reply) {
  const ObjectUrlNode worker_node = url.Node(UrlPlace::kWorker);
  const std::shared_ptr<IDataProcess> worker = GetWorker(url);
  zelph::GWorker message;
  message.set_id(worker->GetId());
  message.set_name(worker->GetName());
  message.set_system_name(worker->GetSystemName());
  message.set_result_info(worker->GetVisibleResultsInformation());
  // A worker without a model (a plug-in's own making) has no model to describe.
  if (const std::shared_ptr<IDataProcessModel> model = worker->GetModel()) {
    zelph::GModel* model_message = message.mutable_model();
    ModelToGModel(*model, *model_message);
    const std::string worker_url = worker_node.BuildUrl();
    for (zelph::GControl& control : *model_message->mutable_controls()) {
      control.set_id(fmt::format("{}/{}", worker->GetId(), control.name()));
      control.set_url(fmt::format("{}/property:{}", worker_url, control.name()));
    }
  }
  std::ostringstream document;
  zelph::WriteWorkerAsJson(worker, document);
  message.set_tmp_json(std::move(document).str());
  for (const zelph::Port* port : worker->GetPorts()) PortToGPort(*port, *message.add_ports());

  zelph::GAnyData element;
  element.set_url(url.GetUrl());
  *element.mutable_worker() = std::move(message);
  return zelph::rpc::AddReservedElement(std::move(element), response, reply);
}

grpc::Status ZelphServiceV2Impl::GetDataProjectLink(const ObjectUrl& url,
                                                    zelph::GetDataResponse& response) {
  const std::string link_id(url.Node(UrlPlace::kLink).GetId());
  const LinkEnds ends = ReadLinkEnds(*GetProject(url), link_id);
  zelph::GAnyData* element = response.add_data();
  element->set_url(url.GetUrl());
  element->set_string_val(LinkJson(link_id, ends));
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::GetProjectStatus(const ObjectUrl& url,
                                                  zelph::GetDataResponse& response) {
  AddStatus(url, GetProject(url)->GetChainStatus(), response);
  return grpc::Status::OK;
}

// The worker is not looked up: an id that names none reads "undefined".
grpc::Status ZelphServiceV2Impl::GetWorkerStatus(const ObjectUrl& url,
                                                 zelph::GetDataResponse& response) {
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  AddStatus(
      url, project->GetObjectStatuses().Find(url.Node(UrlPlace::kWorker).GetId()).value_or(nullptr),
      response);
  return grpc::Status::OK;
}
