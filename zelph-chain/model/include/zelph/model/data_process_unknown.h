// data_process_unknown.h
//
// The placeholder worker of a model that no plug-in has registered: it keeps the worker's
// place, ports and settings in its chain, and every run records the execution error
// "Executor not found" instead of doing work. It never throws.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/model/data_process.h"

class ZELPH_CHAIN_API DataProcessUnknown : public IDataProcess {
 public:
  explicit DataProcessUnknown(const boost::uuids::uuid& id);

  void Initialize() override {}
  void ApplyProperties() override {}
  void SetChain(std::shared_ptr<IDataProcessChain>) override {}
  bool NeedToRepeat() override { return repeat_request_; }
  bool Reset() override { return true; }
  void InitializeParameters() override {}
  // The default model description text.
  std::string GetVisibleResultsInformation() override { return default_description_; }
  void Interrupt() override {}

 protected:
  void ExecuteImpl(zelph::ExecutionStage stage) override;

 private:
  std::string default_description_;
};

// The factory of DataProcessModelUnknown.
ZELPH_CHAIN_API std::shared_ptr<IDataProcess> CreateDataProcessUnknown(
    const boost::uuids::uuid& id);
