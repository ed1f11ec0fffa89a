// data_process_model_base.h
//
// DataProcessModelBase, the one implementation of the model interface: plug-ins make theirs
// with Create and their own factory, give it a description and a session, and register it.
// DataProcessModelUnknown is the model the chain-file loader makes for a model no plug-in has
// registered; its workers are DataProcessUnknown placeholders.
#pragma once

#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/model/data_process_model.h"

namespace zelph {

// A copy with A-Z turned into a-z; other bytes unchanged. Model ids and session ids are
// compared in this form.
ZELPH_CHAIN_API std::string ToLower(const std::string& text);

}  // namespace zelph

class ZELPH_CHAIN_API DataProcessModelBase : public IDataProcessModel {
 public:
  DataProcessModelBase(const DataProcessModelBase&) = default;
  DataProcessModelBase& operator=(const DataProcessModelBase&) = default;

  // A model with that factory, an empty description and an empty session id.
  static std::shared_ptr<IDataProcessModel> Create(DataProcessFactory factory);

  // Makes the worker with the id `worker_id` (a new random one when empty), gives it the
  // session and the model, and initialises it (Initialize, InitializeParameters,
  // InitializeDefaultPorts). A worker id that is not a uuid throws std::runtime_error
  // "invalid uuid string"; any std::exception while the worker is made or initialised is
  // logged and gives an empty pointer.
  std::shared_ptr<IDataProcess> CreateAndInitializeWorker(std::shared_ptr<IDataProcessModel> model,
                                                          const std::string& worker_id,
                                                          const std::string& session_id) override;
  std::shared_ptr<IDataProcess> CreateAndInitializeWorker(std::shared_ptr<IDataProcessModel> model,
                                                          const std::string& session_id) override;
  // The description's uuid read as a uuid; throws "invalid uuid string" when it is not one.
  boost::uuids::uuid GetType() override;
  std::string GetId() override;
  const zelph::BaseModelStructure& GetStructure() const override { return structure_; }
  void SetStructure(zelph::BaseModelStructure&& structure) override;
  void ApplyParent(const zelph::BaseModelStructure& parent) override;
  std::string GetSessionId() const override { return session_id_; }
  // Stored lower-cased.
  void SetSessionId(const std::string& session_id) override;

 protected:
  explicit DataProcessModelBase(DataProcessFactory factory);

 private:
  zelph::BaseModelStructure structure_;
  std::string session_id_;
};

class ZELPH_CHAIN_API DataProcessModelUnknown : public DataProcessModelBase {
 public:
  DataProcessModelUnknown();
  DataProcessModelUnknown(const DataProcessModelUnknown&) = default;
  DataProcessModelUnknown& operator=(const DataProcessModelUnknown&) = default;
};
