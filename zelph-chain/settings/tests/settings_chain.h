// settings_chain.h
//
// A live chain of the golden models: a "dashboard" main-settings worker, a "camera"
// settings worker linked into the dashboard's "camera" control port, and a "blur" data
// worker with matrix ports. Building its settings tree gives the golden configuration; its
// chain settings document is golden/chain_settings.json.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "quiet_worker.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model.h"

namespace zelph::testing {

// A worker that does nothing and reports a settable visible-results text.
class SettingsTestWorker : public QuietWorker {
 public:
  using QuietWorker::QuietWorker;

  std::string GetVisibleResultsInformation() override { return visible_results; }

  std::string visible_results = "{}";
};

struct SettingsChain {
  std::shared_ptr<IDataProcessChain> chain;
  std::vector<std::shared_ptr<IDataProcessModel>> models;  // dashboard, camera, blur
  std::shared_ptr<SettingsTestWorker> dashboard;
  std::shared_ptr<SettingsTestWorker> camera;
  std::shared_ptr<SettingsTestWorker> blur;
};

// A model of `structure` whose workers are SettingsTestWorkers.
std::shared_ptr<IDataProcessModel> MakeSettingsModel(BaseModelStructure structure);

// A worker of `model` with that id and system name, added to `chain`.
std::shared_ptr<SettingsTestWorker> AddSettingsWorker(
    IDataProcessChain& chain, const std::shared_ptr<IDataProcessModel>& model,
    const std::string& id, const std::string& system_name);

SettingsChain MakeGoldenChain();

}  // namespace zelph::testing
