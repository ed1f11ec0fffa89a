// project_configuration_document.cpp
//
// Configuration documents and bare settings objects applied to a settings tree.
#include "zelph/config/rapidjson.h"

#include <mutex>
#include <stdexcept>
#include <string_view>

#include "settings_json.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/settings/project_configuration_reader.h"

namespace {

using zelph::settings::ApplyActualValues;

constexpr std::string_view kDocumentApp = "zelph-project-configuration";

const rapidjson::Value* FindMember(const rapidjson::Value& object, const char* name) {
  const auto member = object.FindMember(name);
  return member == object.MemberEnd() ? nullptr : &member->value;
}

// Hands each property to the worker's typed setter, which converts it to the type of the
// worker's control of that name. The tree's own control values stay as they are.
void ApplyWorkerProperties(const rapidjson::Value& properties, IDataProcess& worker) {
  for (const auto& member : properties.GetObject()) {
    const std::string key = member.name.GetString();
    const rapidjson::Value& value = member.value;
    if (value.IsBool()) {
      worker.SetPropertyValue(key, value.GetBool());
    } else if (value.IsString()) {
      worker.SetPropertyValue(key, std::string(value.GetString()));
    } else if (value.IsInt64()) {
      worker.SetPropertyValue(key, static_cast<long long>(value.GetInt64()));
    } else if (value.IsNumber()) {
      worker.SetPropertyValue(key, value.GetDouble());
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kWarning, "Unsupported property setting type: '{}'",
                zelph::QuoteClientText(key));
    }
  }
}

void ApplyWorkerValues(const rapidjson::Value& data, const std::shared_ptr<SettingWorker>& group) {
  if (!group) return;
  for (const auto& member : data.GetObject()) {
    if (!member.value.IsObject()) continue;
    const auto node =
        std::dynamic_pointer_cast<SettingWorker>(group->FindChildByName(member.name.GetString()));
    if (!node || !node->worker) continue;
    ApplyWorkerProperties(member.value, *node->worker);
  }
}

void ApplyDocument(const rapidjson::Value& root, ProjectConfiguration& configuration) {
  const rapidjson::Value* app = FindMember(root, "app");
  if (app == nullptr) {
    ApplyActualValues(root, configuration.FindMainSetting());
    return;
  }
  if (!app->IsString()) throw std::runtime_error("unexpected 'app' value");
  if (std::string_view(app->GetString(), app->GetStringLength()) != kDocumentApp) {
    throw std::runtime_error("unexpected 'app' value, expected 'zelph-project-configuration'");
  }
  const rapidjson::Value* chain_id = FindMember(root, "chain_id");
  if (chain_id == nullptr || !chain_id->IsString()) {
    throw std::runtime_error("unexpected 'chain_id' value");
  }
  configuration.chain_id = chain_id->GetString();
  if (const auto* caption = FindMember(root, "caption"); caption && caption->IsString()) {
    configuration.caption = caption->GetString();
  }
  if (const auto* text = FindMember(root, "description"); text && text->IsString()) {
    configuration.description = text->GetString();
  }
  if (const auto* settings = FindMember(root, "settings"); settings && settings->IsObject()) {
    ApplyActualValues(*settings, configuration.FindMainSetting());
  }
  if (const auto* data = FindMember(root, "data"); data && data->IsObject()) {
    ApplyWorkerValues(*data, configuration.FindWorkerSetting());
  }
}

}  // namespace

bool ApplyProjectConfigurationValues(const std::string& json,
                                     std::shared_ptr<ProjectConfiguration> configuration) {
  try {
    if (!configuration) throw std::invalid_argument("no project configuration");
    rapidjson::Document document;
    const rapidjson::ParseResult result = zelph::settings::ParseSettingsText(json, document);
    if (result.IsError()) {
      throw std::runtime_error(fmt::format("Parser error, offset: {}, error code: {}",
                                           result.Offset(), static_cast<int>(result.Code())));
    }
    if (!document.IsObject()) zelph::json::ThrowJsonAssertion();
    std::unique_lock lock(configuration->GetLock());
    ApplyDocument(document, *configuration);
    return true;
  } catch (const std::exception& error) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed apply project configuration, error: {}",
              error.what());
    return false;
  }
}
