// simple_plugins_manager.h
//
// The process-wide plug-in manager: loads plug-in libraries, keeps them until the process
// ends, forwards session events to them, and keeps the registry of the models they
// provide and the table of data types.
//
// Models are registered under a session key: the empty key for the models a plug-in
// delivers when it is loaded, a caller's key (the service uses a project's key) for the
// models a plug-in registers on request. Keys compare in lower case.
//
//   auto* manager = SimplePluginsManager::GetInstance();
//   manager->LoadPlugin("plugins/zelph-java");            // below the bin home
//   manager->RegisterAvailableModels(project_key);
//   auto model = manager->FindModel(model_id, project_key);
//   auto worker = model->CreateAndInitializeWorker(model, project_key);
//   manager->ClearRegisteredModels(project_key);
//
// Threading: the model registry may be used from any number of threads at once. Loading
// plug-ins and registering data types happen at start-up, before other threads use the
// manager; afterwards both are only read.
#pragma once

#include <boost/uuid/uuid.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zelph/chain/export.h"

class IDataProcessModel;
class SimplePluginsManagerImpl;

class IDataType;

class ZELPH_CHAIN_API SimplePluginsManager {
 public:
  // The one manager, made at library load and never destroyed.
  static SimplePluginsManager* GetInstance();

  ~SimplePluginsManager();
  SimplePluginsManager(const SimplePluginsManager&) = delete;
  SimplePluginsManager& operator=(const SimplePluginsManager&) = delete;

  // Loads every ".so" file below `folder` (recursively) as a plug-in. Does nothing when the
  // folder does not exist; the first failure leaves as an exception.
  void LoadPlugins(const std::string& folder);
  // Loads "<name>.so" (else "<name>-d.so") from the folder `folder`, taken below the bin
  // home unless absolute. 0 when loaded or skipped, 1 on failure (the reason is recorded
  // in the configuration).
  int LoadPlugin(const std::string& folder);

  // Registers `model` under `session`; false when a model with its id is already
  // registered under that session. Of several threads adding one id to one session at
  // once, exactly one succeeds.
  bool AddModel(std::shared_ptr<IDataProcessModel> model, const std::string& session);
  // The newest model with this id, of any session; empty if none.
  std::shared_ptr<IDataProcessModel> FindModel(const std::string& id);
  // The model with this id registered under `session`; empty if none.
  std::shared_ptr<IDataProcessModel> FindModel(const std::string& id, const std::string& session);
  // Newest first.
  std::vector<std::shared_ptr<IDataProcessModel>> GetModels();
  std::vector<std::shared_ptr<IDataProcessModel>> GetModels(const std::string& session);
  std::uint64_t GetModelCount();
  // Removes the session's models, then tells every plug-in (ClearSession). An exception
  // from a plug-in leaves after the removal.
  void ClearRegisteredModels(const std::string& session);

  // Forward the event to every plug-in in load order; an exception from a plug-in leaves
  // at once (later plug-ins are not called).
  void RegisterAvailableModels(const std::string& session);
  void BeforeExecutingAll(const std::string& session);
  void AfterExecutingAll(const std::string& session);

  // The first registered type, in uuid order, that accepts `name`; null if none.
  IDataType* FindDataType(const std::string& name);
  IDataType* FindDataType(const boost::uuids::uuid& uuid);
  // False for null and for a uuid already registered.
  bool RegisterDataType(IDataType* type);

 private:
  SimplePluginsManager();

  void InitializePlugin(const std::string& library_path);

  std::unique_ptr<SimplePluginsManagerImpl> impl_;
};
