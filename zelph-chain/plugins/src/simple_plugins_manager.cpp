// simple_plugins_manager.cpp
//
// The plug-in manager: plug-in loading, the model registry's operations by id and
// session, session events and the data-type table.
#include "zelph/plugins/simple_plugins_manager.h"

#include <filesystem>
#include <map>
#include <stdexcept>
#include <utility>

#include "model_registry.h"
#include "posix_plugin_loader.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process_model.h"
#include "zelph/model/data_process_model_base.h"
#include "zelph/model/data_type.h"

namespace fs = std::filesystem;

class SimplePluginsManagerImpl {
 public:
  // Appended at start-up only, then read without a lock.
  std::vector<std::unique_ptr<PluginLoader>> loaders;
  // Ordered by uuid; filled at start-up, then read without a lock.
  std::map<boost::uuids::uuid, IDataType*> data_types;
  ZelphConfig* config = nullptr;
  ModelRegistry models;
};

namespace {

// Empty-text exceptions still need a reason a reader can act on.
std::string TextOf(const std::exception& e, const char* fallback) {
  const std::string text = e.what();
  return text.empty() ? fallback : text;
}

}  // namespace

SimplePluginsManager* SimplePluginsManager::GetInstance() {
  // Built on first use, which the library's load-time objects make happen at load, after
  // the data types; never destroyed, so plug-ins stay loaded until the process ends.
  static SimplePluginsManager* const instance = new SimplePluginsManager();
  return instance;
}

SimplePluginsManager::SimplePluginsManager() : impl_(std::make_unique<SimplePluginsManagerImpl>()) {
  impl_->config = ZelphConfig::GetInstance();
  // DataTypeContours and DataTypeDWord8u4 stay unregistered: lookups never find them.
  for (IDataType* type :
       {DataTypeBool::GetInstance(), DataTypeByte::GetInstance(), DataTypeDouble::GetInstance(),
        DataTypeFloat::GetInstance(), DataTypeInt32::GetInstance(), DataTypeInt64::GetInstance(),
        DataTypeMat::GetInstance(), DataTypeNull::GetInstance(), DataTypeNumbers::GetInstance(),
        DataTypeScalar::GetInstance(), DataTypeShort::GetInstance(), DataTypeStr::GetInstance()}) {
    RegisterDataType(type);
  }
}

SimplePluginsManager::~SimplePluginsManager() = default;

void SimplePluginsManager::LoadPlugins(const std::string& folder) {
  const fs::path path(folder);
  if (!fs::is_directory(fs::status(path))) return;
  // Snapshot first: loading a plug-in must not disturb the listing being walked.
  std::vector<fs::directory_entry> entries(fs::directory_iterator(path), {});
  for (const fs::directory_entry& entry : entries) {
    if (entry.is_directory()) {
      LoadPlugins(entry.path().string());
    } else if (entry.is_regular_file() && entry.path().extension() == ".so") {
      InitializePlugin(entry.path().string());
    }
  }
}

int SimplePluginsManager::LoadPlugin(const std::string& folder) {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Load plugin: '{}'", folder);
  ZelphConfig* config = ZelphConfig::GetInstance();
  try {
    const fs::path bin_home = config->GetBinHome();
    if (bin_home.empty()) {
      ZELPH_LOG(ZelphSeverityLevel::kWarning, "Zelph home path is undefined");
      return 0;
    }
    if (!fs::is_directory(fs::status(bin_home))) {
      ZELPH_LOG(ZelphSeverityLevel::kWarning, "Zelph home path: '{}' is not directory",
                bin_home.string());
      return 0;
    }
    const fs::path given(folder);
    const fs::path plugin_folder = given.is_absolute() ? given : bin_home / given;
    // Skipped with a warning when extension errors are ignored, fatal otherwise.
    auto skip_or_throw = [config](const std::string& message) {
      ZELPH_LOG(ZelphSeverityLevel::kWarning, "{}", message);
      if (!config->IsIgnoreExtInitError()) throw std::runtime_error(message);
    };
    if (!fs::is_directory(fs::status(plugin_folder))) {
      skip_or_throw(fmt::format("Plugin path: '{}' is not directory", plugin_folder.string()));
      return 0;
    }
    const std::string name = plugin_folder.filename().string();
    fs::path library = plugin_folder / (name + ".so");
    if (!fs::is_regular_file(fs::status(library))) {
      const fs::path debug_library = plugin_folder / (name + "-d.so");
      if (!fs::is_regular_file(fs::status(debug_library))) {
        skip_or_throw(fmt::format("Plugin DLL not found: '{}'", library.string()));
        return 0;
      }
      library = debug_library;
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Plugin DLL found: '{}'", library.string());
    }
    InitializePlugin(library.string());
    return 0;
  } catch (const std::exception& e) {
    const std::string text = TextOf(e, "Unknown exception");
    config->SetInitializationExceptionReasonIfFirst("Cannot initialize Davodavora plugin:\n" +
                                                    folder + "\n" + text);
    ZELPH_LOG(ZelphSeverityLevel::kError, "Failed load plugin: {} error: {}", folder, text);
    return 1;
  }
}

void SimplePluginsManager::InitializePlugin(const std::string& library_path) {
  ZELPH_LOG(ZelphSeverityLevel::kTrace, "Create plugin loader");
  // Destroyed on failure; a library whose LoadModels ran stays mapped all the same.
  auto loader = std::make_unique<PosixPluginLoader>(library_path, impl_->config);
  std::string failure;
  try {
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "plugin->Initialize()");
    loader->Initialize();
    ZELPH_LOG(ZelphSeverityLevel::kTrace, "Plugin: {} loading models", library_path);
    PluginModels models;
    if (loader->CallLoadModels(&models) != 0) {
      throw std::runtime_error(fmt::format("Failed load models: {}", library_path));
    }
    for (std::shared_ptr<IDataProcessModel>& model : models) {
      if (!model) {
        ZELPH_LOG(ZelphSeverityLevel::kWarning, "Plugin: {} returned an empty model", library_path);
        continue;
      }
      if (auto registered = FindModel(model->GetId(), "")) {
        const std::string message =
            fmt::format("Model ID duplicate found {} and {}", model->GetStructure().ToString(),
                        registered->GetStructure().ToString());
        ZELPH_LOG(ZelphSeverityLevel::kWarning, "{}", message);
        if (impl_->config->IsIgnoreExtInitError()) continue;
        throw std::runtime_error(message);
      }
      AddModel(std::move(model), "");
    }
    impl_->loaders.push_back(std::move(loader));
    return;
  } catch (const std::exception& e) {
    failure = fmt::format("Cannot initialize '{}'\n\n{}", library_path, e.what());
  } catch (...) {
    failure = fmt::format("Cannot initialize '{}'\n\nUnknown error", library_path);
  }
  ZELPH_LOG(ZelphSeverityLevel::kError, "{}", failure);
  if (!impl_->config->IsIgnoreExtInitError()) throw std::runtime_error(failure);
}

bool SimplePluginsManager::AddModel(std::shared_ptr<IDataProcessModel> model,
                                    const std::string& session) {
  if (!model) return false;
  const std::string id = model->GetId();
  const std::string session_key = zelph::ToLower(session);
  // The check and the insertion are one step: of several threads adding one id to one
  // session, exactly one succeeds.
  return impl_->models.InsertUnlessListed(
      session_key, id, std::move(model),
      [&session](IDataProcessModel& added) { added.SetSessionId(session); });
}

std::shared_ptr<IDataProcessModel> SimplePluginsManager::FindModel(const std::string& id) {
  return impl_->models.Find(id);
}

std::shared_ptr<IDataProcessModel> SimplePluginsManager::FindModel(const std::string& id,
                                                                   const std::string& session) {
  const std::string session_key = zelph::ToLower(session);
  return impl_->models.Find(session_key, id);
}

std::vector<std::shared_ptr<IDataProcessModel>> SimplePluginsManager::GetModels() {
  return impl_->models.Collect();
}

std::vector<std::shared_ptr<IDataProcessModel>> SimplePluginsManager::GetModels(
    const std::string& session) {
  const std::string session_key = zelph::ToLower(session);
  return impl_->models.Collect(session_key);
}

std::uint64_t SimplePluginsManager::GetModelCount() { return impl_->models.Count(); }

void SimplePluginsManager::ClearRegisteredModels(const std::string& session) {
  const std::string session_key = zelph::ToLower(session);
  impl_->models.Remove(session_key, [&session_key](IDataProcessModel& model) {
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Session: {}, Model removed: {}",
              zelph::QuoteClientText(session_key), model.GetStructure().ToString());
  });
  for (const auto& loader : impl_->loaders) loader->ClearSession(session);
  if (::CheckSeverity(ZelphSeverityLevel::kDebug)) {
    const auto left = impl_->models.Collect(session_key);
    ZELPH_LOG(ZelphSeverityLevel::kDebug,
              "Clear registered models, session: {}, count session model: {}",
              zelph::QuoteClientText(session), left.size());
    for (std::size_t i = 0; i < left.size(); ++i) {
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Registered session model [{}]: {}", i,
                left[i]->GetStructure().ToString());
    }
  }
}

void SimplePluginsManager::RegisterAvailableModels(const std::string& session) {
  for (const auto& loader : impl_->loaders) loader->RegisterAvailableModels(session);
}

void SimplePluginsManager::BeforeExecutingAll(const std::string& session) {
  for (const auto& loader : impl_->loaders) loader->BeforeExecutingAll(session);
}

void SimplePluginsManager::AfterExecutingAll(const std::string& session) {
  for (const auto& loader : impl_->loaders) loader->AfterExecutingAll(session);
}

IDataType* SimplePluginsManager::FindDataType(const std::string& name) {
  for (const auto& [uuid, type] : impl_->data_types) {
    if (type->IsCompatibleName(name.c_str())) return type;
  }
  return nullptr;
}

IDataType* SimplePluginsManager::FindDataType(const boost::uuids::uuid& uuid) {
  const auto found = impl_->data_types.find(uuid);
  return found == impl_->data_types.end() ? nullptr : found->second;
}

bool SimplePluginsManager::RegisterDataType(IDataType* type) {
  if (!type) return false;
  return impl_->data_types.emplace(type->GetUuid(), type).second;
}
