// get_data_descriptions.cpp
//
// GetData of descriptions and records: models (as GModel or as their description JSON),
// solution apps and templates of the catalogue, a worker's or the chain's statistic (its
// JSON document or its error), and the project's settings (the chain settings document or
// one node of the configuration's tree).
#include <fmt/format.h>

#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "handler_frame.h"
#include "reply_element.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/model/data_process_model.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/project.h"
#include "zelph/projects/service_cache.h"
#include "zelph/projects/solution_provider.h"
#include "zelph/projects/statistic.h"
#include "zelph/rpc/handler_text.h"
#include "zelph/rpc/model_messages.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/zelph_service.h"
#include "zelph/settings/chain_settings_writer.h"
#include "zelph/settings/setting_node.h"

using zelph::QuoteClientText;
using zelph::rpc::ValidateProjectPart;

namespace {

std::shared_ptr<IDataProcessModel> FindModel(SimplePluginsManager& plugins, std::string_view id) {
  std::shared_ptr<IDataProcessModel> model = plugins.FindModel(std::string(id));
  if (!model) throw std::runtime_error(fmt::format("Model not found: {}", QuoteClientText(id)));
  return model;
}

zelph::GAnyData& AddElement(const ObjectUrl& url, zelph::GetDataResponse& response) {
  zelph::GAnyData* element = response.add_data();
  element->set_url(url.GetUrl());
  return *element;
}

// An element for `url` holding `text`, made apart to be reserved before it joins the reply.
zelph::GAnyData TextElement(const ObjectUrl& url, std::string&& text) {
  zelph::GAnyData element;
  element.set_url(url.GetUrl());
  element.set_string_val(std::move(text));
  return element;
}

void SetSettingNode(const SettingNode& node, zelph::GSettingNode& message) {
  message.set_id(node.id);
  message.set_name(node.name);
  message.set_description(node.description);
  message.set_model_id(node.model_id);
  message.set_parent_id(node.parent_id);
  for (const std::shared_ptr<DataSettingControl>& control : node.controls) {
    zelph::GControl* added = message.add_controls();
    added->set_id(control->id);
    added->set_url(control->url);
    added->set_name(control->name);
    added->set_edition_type(control->edition_type);
    added->set_hint(control->hint);
    added->set_value_type(control->value_type_name);
    added->set_caption(control->caption);
    added->set_description(control->description);
    added->set_multiline(control->multiline);
    added->set_edition_rows(control->edition_rows);
    added->set_def(PropertyValueToText(control->value.value));
    for (const zelph::BaseEnumValue& item : control->items) {
      zelph::GItem* added_item = added->add_items();
      added_item->set_caption(item.caption);
      added_item->set_value(item.value);
    }
  }
}

}  // namespace

grpc::Status ZelphServiceV2Impl::GetDataModel(const ObjectUrl& url,
                                              zelph::GetDataResponse& response,
                                              zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<IDataProcessModel> model =
      FindModel(*plugins_, url.Node(UrlPlace::kModel).GetId());
  zelph::GAnyData element;
  element.set_url(url.GetUrl());
  ModelToGModel(*model, *element.mutable_model());
  return zelph::rpc::AddReservedElement(std::move(element), response, reply);
}

// Models are the registry's, so the URL's session and project are not looked up.
grpc::Status ZelphServiceV2Impl::GetDataProjectModel(const ObjectUrl& url,
                                                     zelph::GetDataResponse& response,
                                                     zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<IDataProcessModel> model =
      FindModel(*plugins_, url.Node(UrlPlace::kProjectModel).GetId());
  return zelph::rpc::AddReservedElement(
      TextElement(url, model->GetStructure().GetStructureAsJson()), response, reply);
}

// The element's URL is rebuilt from the id; the app's file stays the service's.
grpc::Status ZelphServiceV2Impl::GetSolutionApp(const ObjectUrl& url,
                                                zelph::GetDataResponse& response) {
  const std::string id(url.Node(UrlPlace::kApp).GetId());
  const std::shared_ptr<SolutionApp> app = solutions_->FindApp(id);
  if (!app) {
    throw std::runtime_error(fmt::format("Solution app '{}' not found", QuoteClientText(id)));
  }
  zelph::GAnyData* element = response.add_data();
  element->set_url("/app:" + id);
  zelph::GSolutionApp* message = element->mutable_solution();
  message->set_id(app->id);
  message->set_caption(app->caption);
  message->set_description(app->description);
  return grpc::Status::OK;
}

// Found by the template id alone; the answer carries the app id as the URL gives it.
grpc::Status ZelphServiceV2Impl::GetSolutionTemplate(const ObjectUrl& url,
                                                     zelph::GetDataResponse& response) {
  const std::string app_id(url.Node(UrlPlace::kApp).GetId());
  const std::string id(url.Node(UrlPlace::kTemplate).GetId());
  const std::shared_ptr<SolutionTemplate> found = solutions_->FindTemplate(id);
  if (!found) {
    throw std::runtime_error(fmt::format("Solution template '{}' not found", QuoteClientText(id)));
  }
  zelph::GAnyData* element = response.add_data();
  element->set_url(fmt::format("/app:{}/template:{}", app_id, id));
  zelph::GSolutionTemplate* message = element->mutable_template_();
  message->set_id(id);
  message->set_app_id(app_id);
  message->set_caption(found->caption);
  message->set_description(found->description);
  return grpc::Status::OK;
}

// The document is a copy taken under the statistic's own lock: the rendering that a run
// makes meanwhile replaces it whole. An object that never ran has no statistic and adds no
// element.
grpc::Status ZelphServiceV2Impl::GetProjectStatistic(const ObjectUrl& url,
                                                     zelph::GetDataResponse& response,
                                                     zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<zelph::Statistic> statistic =
      GetProject(url)->FindStatistic(std::string(url.Node(UrlPlace::kStatistic).GetId()));
  if (!statistic) return grpc::Status::OK;
  const zelph::StatisticDocument document = statistic->GetDocument();
  if (grpc::Status status =
          zelph::rpc::ReserveElement(reply, url, document.data ? document.data->GetSize() : 0);
      !status.ok()) {
    return status;
  }
  zelph::GAnyData& element = AddElement(url, response);
  if (!document.data) return grpc::Status::OK;  // made, not rendered yet
  element.set_modified(DataEx::StampOf(document.rendered));
  if (!DataTypeScalar::Equals(document.data->GetDataType())) {
    return grpc::Status(grpc::StatusCode::INTERNAL, "Unsupported statistic data type");
  }
  element.set_string_val(document.data->GetStr());
  return grpc::Status::OK;
}

grpc::Status ZelphServiceV2Impl::GetProjectError(const ObjectUrl& url,
                                                 zelph::GetDataResponse& response) {
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const std::shared_ptr<zelph::Statistic> statistic =
      GetProject(url)->FindStatistic(std::string(url.Node(UrlPlace::kError).GetId()));
  if (!statistic) return grpc::Status::OK;
  const zelph::StatisticDocument document = statistic->GetDocument();
  zelph::GAnyData& element = AddElement(url, response);
  if (document.data) element.set_modified(DataEx::StampOf(document.rendered));
  zelph::GErrorInfo* error = element.mutable_error_info();
  std::shared_lock lock(statistic->lock);
  error->set_error_message(statistic->error_message);
  error->set_stack_trace(statistic->stack_trace);
  error->set_error_class_name(statistic->error_class_name);
  return grpc::Status::OK;
}

// The chain settings writer walks the chain without a lock of its own; the project's shared
// hold keeps structural edits out meanwhile.
grpc::Status ZelphServiceV2Impl::GetProjectSettings(const ObjectUrl& url,
                                                    zelph::GetDataResponse& response,
                                                    zelph::rpc::ReplySize& reply) {
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  std::string settings;
  {
    std::shared_lock lock(project->GetLock());
    settings = zelph::WriteChainSettingsAsJson(JsonParser::kRapidJson, project->GetChain());
  }
  return zelph::rpc::AddReservedElement(TextElement(url, std::move(settings)), response, reply);
}

grpc::Status ZelphServiceV2Impl::GetProjectSetting(const ObjectUrl& url,
                                                   zelph::GetDataResponse& response,
                                                   zelph::rpc::ReplySize& reply) {
  if (grpc::Status status = ValidateProjectPart(url); !status.ok()) return status;
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::string id(url.Node(UrlPlace::kSetting).GetId());
  std::shared_ptr<SettingNode> node;
  try {
    node = project->GetSetting(id);
  } catch (const std::runtime_error&) {
    throw std::runtime_error(fmt::format("Setting: {} not found", QuoteClientText(id)));
  }
  // A copy of the node with its values, so no lock is needed to read it.
  zelph::GAnyData element;
  element.set_url(url.GetUrl());
  SetSettingNode(*node, *element.mutable_setting_node());
  return zelph::rpc::AddReservedElement(std::move(element), response, reply);
}
