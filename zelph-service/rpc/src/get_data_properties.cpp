// get_data_properties.cpp
//
// GetData of single property values: a worker's user and system properties, the project's
// chain properties and the values of the project configuration's settings.
#include <fmt/format.h>
#include <boost/optional.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "handler_frame.h"
#include "reply_element.h"
#include "zelph/chain/exception.h"
#include "zelph/config/split_string.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"
#include "zelph/rpc/handler_text.h"
#include "zelph/rpc/object_url.h"
#include "zelph/rpc/zelph_service.h"
#include "zelph/settings/project_configuration.h"

using zelph::QuoteClientText;

namespace {

// The value in the member of its alternative.
void SetValue(const PropertyVariant& value, zelph::GAnyData& element) {
  std::visit(
      [&](const auto& held) {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, bool>) {
          element.set_bool_val(held);
        } else if constexpr (std::is_same_v<Held, int>) {
          element.set_int32_val(held);
        } else if constexpr (std::is_same_v<Held, long long>) {
          element.set_int64_val(held);
        } else if constexpr (std::is_same_v<Held, double>) {
          element.set_double_val(held);
        } else {
          static_assert(std::is_same_v<Held, std::string>);
          element.set_string_val(held);
        }
      },
      value);
}

// The value as an element of the reply, reserved before its text is copied.
grpc::Status AddValue(const ObjectUrl& url, const PropertyVariant& value,
                      zelph::GetDataResponse& response, zelph::rpc::ReplySize& reply) {
  if (grpc::Status status =
          zelph::rpc::ReserveElement(reply, url, zelph::rpc::PropertyValueBytes(value));
      !status.ok()) {
    return status;
  }
  zelph::GAnyData* element = response.add_data();
  element->set_url(url.GetUrl());
  SetValue(value, *element);
  return grpc::Status::OK;
}

grpc::Status PropertyNotFound(std::string_view id) {
  return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT,
                      "property not found: " + QuoteClientText(id));
}

// The value of `name` in the bag, reserved and copied under the bag's own lock; a missing
// one quotes `property_id`, the URL's id of the property as the client wrote it.
grpc::Status GetPropertyAsAnyData(const Property& properties, const ObjectUrl& url,
                                  std::string_view property_id, const std::string& name,
                                  zelph::GetDataResponse& response, zelph::rpc::ReplySize& reply) {
  grpc::Status status;
  const bool found = properties.ReadValue(
      name, [&](const PropertyVariant& value) { status = AddValue(url, value, response, reply); });
  return found ? status : PropertyNotFound(property_id);
}

grpc::Status PropertiesNotFound() {
  return grpc::Status(grpc::StatusCode::INVALID_ARGUMENT, "properties not found");
}

}  // namespace

// A property id "w\name" names the property of worker w of the same project, whatever worker
// the URL's worker segment names; with more pieces, the last two count.
grpc::Status ZelphServiceV2Impl::GetDataWorkerProperty(const ObjectUrl& url,
                                                       zelph::GetDataResponse& response,
                                                       zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<zelph::Project> project = GetProject(url);
  const std::shared_ptr<IDataProcess> url_worker =
      zelph::rpc::FindWorker(*project, url.Node(UrlPlace::kWorker).GetId());
  const std::string last_id(url.Node(UrlPlace::kWorkerProperty).GetId());
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "URL Last Id: {}", QuoteClientText(last_id));
  const std::vector<std::string> pieces = zelph::SplitString(last_id, "\\");
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Name size: {}", pieces.size());
  const std::shared_ptr<IDataProcess> worker =
      pieces.size() >= 2 ? zelph::rpc::FindWorker(*project, pieces[pieces.size() - 2]) : url_worker;
  const std::string& name = pieces.back();
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Get Worker Property, name: {}, worker: {}, url: {}",
            QuoteClientText(name), url_worker->ToString(), QuoteClientText(url.GetUrl()));
  const Property* properties = worker->GetProperties();
  if (properties == nullptr) return PropertiesNotFound();
  return GetPropertyAsAnyData(*properties, url, last_id, name, response, reply);
}

grpc::Status ZelphServiceV2Impl::GetDataWorkerSystem(const ObjectUrl& url,
                                                     zelph::GetDataResponse& response,
                                                     zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<IDataProcess> worker = GetWorker(url);
  const Property* properties = worker->GetSystemProperties();
  if (properties == nullptr) return PropertiesNotFound();
  const std::string_view name = url.Node(UrlPlace::kWorkerSystem).GetId();
  return GetPropertyAsAnyData(*properties, url, name, std::string(name), response, reply);
}

grpc::Status ZelphServiceV2Impl::GetDataProjectProperty(const ObjectUrl& url,
                                                        zelph::GetDataResponse& response,
                                                        zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<Property> properties = GetProject(url)->GetChainProperties();
  if (!properties) throw zelph::Exception("Properties not exist");
  const std::string_view name = url.Node(UrlPlace::kProperty).GetId();
  return GetPropertyAsAnyData(*properties, url, name, std::string(name), response, reply);
}

// The configuration is held by its own reference while it is read: a load that replaces it
// meanwhile frees nothing underneath.
grpc::Status ZelphServiceV2Impl::GetProjectSettingProperty(const ObjectUrl& url,
                                                           zelph::GetDataResponse& response,
                                                           zelph::rpc::ReplySize& reply) {
  const std::shared_ptr<ProjectConfiguration> configuration = GetProject(url)->GetConfiguration();
  const boost::optional<PropertyValue> value =
      configuration
          ? configuration->GetValue(std::string(url.Node(UrlPlace::kSetting).GetId()),
                                    std::string(url.Node(UrlPlace::kSettingProperty).GetId()))
          : boost::none;
  if (!value) return PropertyNotFound(url.GetUrl());
  return AddValue(url, value->value, response, reply);
}
