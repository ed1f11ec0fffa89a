// project.cpp
//
// A project's construction and destruction, its cache, and loading a chain into it.
#include "zelph/projects/project.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "zelph/chain/exception.h"
#include "zelph/chainfiles/chain_builder.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/config/text_file.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/property.h"
#include "zelph/model/property_keys.h"
#include "zelph/model/uuid.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/settings/project_configuration_reader.h"

#include "project_listeners.h"
#include "run_slots.h"
#include "zelph/projects/statistic.h"

namespace zelph {
namespace {

// Counts project constructions and chain uploads of the whole process; each upload's value
// becomes its chain's context id, so two loads never share one.
std::atomic<long long> context_counter{0};

constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

// The folder of `path`, without trailing separators (the root stays "/").
std::string ParentFolder(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::shared_ptr<Project> Project::Create(const std::string& id) {
  return std::make_shared<Project>(CreationKey{}, id);
}

Project::Project(CreationKey, const std::string& id)
    : id_(id), plugin_session_key_(NewUuidText()), run_slots_(std::make_unique<RunSlots>()) {
  CreateChain();
}

Project::~Project() {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Project removed: {}", QuoteClientText(id_));
  // The chain and its workers may outlive the project (a handler still holds one); they
  // must not keep pointers to the listeners that go with it.
  if (chain_) {
    chain_->SetFlagListener(nullptr);
    for (const std::shared_ptr<IDataProcess>& worker : chain_->GetWorkers()) {
      worker->SetFlagListener(nullptr);
    }
  }
  // A plug-in that fails to forget the session must not take the process down with it.
  try {
    plugins_->ClearRegisteredModels(plugin_session_key_);
  } catch (const std::exception& e) {
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed clear registered models of project {}: {}",
              QuoteClientText(id_), e.what());
  } catch (...) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Failed clear registered models of project {}: unknown exception",
              QuoteClientText(id_));
  }
}

void Project::CreateChain() {
  ++context_counter;
  plugins_ = SimplePluginsManager::GetInstance();
  chain_properties_ = std::make_shared<Property>();
  chain_listener_ = std::make_unique<ProjectOnChangeChainFlag>(*this);
  worker_listener_ = std::make_unique<ProjectOnChangeWorkerFlag>(*this);
  cache_ = std::make_shared<ServiceCache>();
  chain_ = LinkedChain::Create();
  if (!chain_) throw Exception("Chain not exist");
  chain_->SetFlagListener(chain_listener_.get());
  state_.store(static_cast<int>(ProjectState::kReady));
  SyncChainProperties();
  PublishChainId();
  plugins_->RegisterAvailableModels(chain_->GetSessionId());
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Project context id: {}", context_counter.load());
}

std::string Project::UploadProject(const std::string& json, const std::string& path,
                                   const std::optional<std::string>& configuration) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "upload project chain: {}", QuoteClientText(json));
  // The state first: a refused upload must not clear the models of a chain that runs.
  ProjectStateGuard state(state_, ProjectState::kLoading);
  if (!state.Entered()) {
    throw EvaluateCancelled(fmt::format("Chain not ready to execute, {}", QuoteClientText(id_)));
  }
  std::string chain_id;
  {
    std::unique_lock lock(lock_);
    plugins_->ClearRegisteredModels(plugin_session_key_);
    ClearCaches();
    chain_->Clear();
    chain_->SetContextId(++context_counter);
    chain_->SetContextPath(path);
    chain_->SetSessionId(plugin_session_key_);
    chain_->SetCurrentDir(ParentFolder(path));
    try {
      LoadChainJson(chain_, json);
    } catch (const std::exception& e) {
      // The chain keeps what the failed load built, its id included.
      PublishChainId();
      throw std::runtime_error(fmt::format("Error while loading chain from the file\n{}\n{}",
                                           QuoteClientText(path), e.what()));
    } catch (...) {
      PublishChainId();
      throw;
    }
    SyncChainProperties();
    PublishChainId();
    ResetStatistics(kStageLoad);
    chain_id = chain_->GetId();
    chain_properties_->SetValue("zelph-project", json);
    if (configuration) UploadConfigurationUnlocked(*configuration);
  }
  return chain_id;
}

std::string Project::LoadProjectFile(const std::string& path,
                                     const std::string& configuration_path) {
  std::string json;
  if (!ReadTextFile(path, json)) {
    throw std::runtime_error(fmt::format("Failed open project file: '{}'", QuoteClientText(path)));
  }
  if (configuration_path.empty()) return UploadProject(json, path);
  return UploadProject(json, path, ReadConfigurationFile(configuration_path));
}

void Project::LoadChainJson(const std::shared_ptr<IDataProcessChain>& chain,
                            const std::string& json) {
  if (json.empty()) throw std::runtime_error("Failed parse json project: json string is empty");
  const bool byte_order_mark = json.starts_with(kUtf8ByteOrderMark);
  std::size_t first = byte_order_mark ? 3 : 0;
  while (first < json.size() && std::isspace(static_cast<unsigned char>(json[first]))) ++first;
  if (first == json.size() || json[first] != '{') {
    throw std::runtime_error("Invalid chain file: it is not JSON (starting '{' symbol expected)");
  }
  const auto start = std::chrono::steady_clock::now();
  ZelphConfig* config = ZelphConfig::GetInstance();
  DataChain data =
      ParseChain(byte_order_mark ? json.substr(first) : json, config->GetChainReaderType());
  if (data.id.empty()) {
    throw std::runtime_error(data.error.empty() ? "Chain id is not set" : data.error);
  }
  parse::ApplyChainPropertiesFromDataChain(chain, data);
  parse::CreateWorkersFromDataChain(chain, data, ExecutionStage::kLoadingTime);
  PassResultFlagsToWorkers();
  InstallWorkerFlagListener();
  chain->Execute(ExecutionStage::kLoadingTime, ExecutionFlow::kRepeatWhileRequested);
  // The loading stage may have prepared models that only this chain's session offers.
  plugins_->RegisterAvailableModels(chain->GetSessionId());
  parse::CreateWorkersFromDataChain(chain, data, ExecutionStage::kRunTime);
  parse::CreateLinksFromDataChain(chain, data);
  {
    Timer timer("CreateConfigurationFromCurrentChain");
    configuration_ = ParseProjectConfiguration(chain, JsonParser::kRapidJson);
  }
  if (config->CheckSeverity(ZelphSeverityLevel::kInfo) &&
      CheckSeverity(ZelphSeverityLevel::kInfo)) {
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    ZELPH_LOG(ZelphSeverityLevel::kInfo, "Chain loaded time: {} ms", elapsed.count());
  }
}

std::shared_ptr<ProjectConfiguration> Project::GetConfiguration() const {
  std::shared_lock lock(lock_);
  return configuration_;
}

void Project::ClearCaches() {
  // Ids first: no shard lock of one map is held while the other map is written.
  std::vector<std::string> statistic_ids;
  statistics_.ForEach([&](const std::string& id, const std::shared_ptr<Statistic>&) {
    statistic_ids.push_back(id);
  });
  for (const std::string& id : statistic_ids) cache_->Erase("/statistic:" + id);
  statistics_.Clear();
  object_statuses_.Clear();
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Clear cache");
  // Previews of the old chain still at work find the generation moved on and store nothing.
  std::lock_guard preview_lock(preview_mutex_);
  ++cache_generation_;
  preview_sequences_.clear();
  cache_->Clear();
}

bool Project::ReadChainFlag(const char* key) const {
  const std::optional<PropertyVariant> value = chain_properties_->GetValue(key);
  return value && PropertyValueToBool(*value);
}

DataEx Project::GetCache(const std::string& key) const {
  DataEx entry = cache_->Find(key).value_or(DataEx());
  if (entry.data) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Get cache: {}, value: {}", QuoteClientText(key),
              entry.data->ToString());
  } else {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Get cache: {}, value: null", QuoteClientText(key));
  }
  return entry;
}

void Project::SetCache(const std::string& key, std::shared_ptr<IPortData> data) {
  SetCache(key, std::move(data), DataEx::Now());
}

void Project::SetCache(const std::string& key, std::shared_ptr<IPortData> data,
                       std::int64_t modified) {
  SetCache(ShardedKey(key), std::move(data), modified);
}

void Project::SetCache(const ShardedKey& key, std::shared_ptr<IPortData> data,
                       std::int64_t modified) {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Set cache: {}, value: {}", QuoteClientText(key.text),
            data ? data->ToString() : std::string());
  DataEx entry;
  entry.data = std::move(data);
  entry.modified = modified;
  cache_->Assign(key, std::move(entry));
}

}  // namespace zelph
