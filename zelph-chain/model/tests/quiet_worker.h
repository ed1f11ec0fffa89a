// quiet_worker.h
//
// The base of the tests' workers: every operation a test does not script does nothing,
// so a test worker states only what it does differently.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <memory>
#include <string>

#include "zelph/model/data_process.h"

namespace zelph::testing {

class QuietWorker : public IDataProcess {
 public:
  explicit QuietWorker(const boost::uuids::uuid& id) : IDataProcess(id) {}

  void Initialize() override {}
  void ApplyProperties() override {}
  void SetChain(std::shared_ptr<IDataProcessChain>) override {}
  bool NeedToRepeat() override { return false; }
  bool Reset() override { return true; }
  void InitializeParameters() override {}
  std::string GetVisibleResultsInformation() override { return "{}"; }
  void Interrupt() override {}

 protected:
  void ExecuteImpl(zelph::ExecutionStage) override {}
};

}  // namespace zelph::testing
