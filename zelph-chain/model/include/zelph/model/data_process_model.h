// data_process_model.h
//
// A model is what a plug-in registers for each kind of worker it provides: a description and
// a factory that makes workers of that kind. Workers keep a shared pointer to the model that
// made them (which keeps the description alive), the plug-in registry holds models by this
// interface, and chains ask it for new workers.
//
// Threading: no locks. The description and session id are set while the model is
// registered; afterwards they are only read, and workers may be made on several threads.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/model/model_structure.h"

class IDataProcess;

// Makes a new worker whose id is the given uuid, owned by a shared pointer; never empty.
using DataProcessFactory = std::shared_ptr<IDataProcess> (*)(const boost::uuids::uuid& id);

class ZELPH_CHAIN_API IDataProcessModel {
 public:
  explicit IDataProcessModel(DataProcessFactory factory) : factory_(factory) {}
  IDataProcessModel(const IDataProcessModel&) = default;
  IDataProcessModel& operator=(const IDataProcessModel&) = default;
  virtual ~IDataProcessModel() = default;

  // `model` is the shared pointer that holds this model; the worker keeps it.
  virtual std::shared_ptr<IDataProcess> CreateAndInitializeWorker(
      std::shared_ptr<IDataProcessModel> model, const std::string& worker_id,
      const std::string& session_id) = 0;
  virtual std::shared_ptr<IDataProcess> CreateAndInitializeWorker(
      std::shared_ptr<IDataProcessModel> model, const std::string& session_id) = 0;
  virtual boost::uuids::uuid GetType() = 0;
  virtual std::string GetId() = 0;
  virtual const zelph::BaseModelStructure& GetStructure() const = 0;
  virtual void SetStructure(zelph::BaseModelStructure&& structure) = 0;
  virtual void ApplyParent(const zelph::BaseModelStructure& parent) = 0;
  virtual std::string GetSessionId() const = 0;
  virtual void SetSessionId(const std::string& session_id) = 0;

  // The description's ToString.
  std::string ToString() const { return GetStructure().ToString(); }

 protected:
  DataProcessFactory factory_;
};
