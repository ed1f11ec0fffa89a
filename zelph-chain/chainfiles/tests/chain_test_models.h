// chain_test_models.h
//
// Three small models for the chain building and writing tests, registered with the plug-in
// manager under the global session by RegisterChainTestModels():
//   Loader   (loading time): counts its runs in LoaderRuns().
//   Constant (run time): output "out" (scalar) carries its property "value"; controls
//            "value" (scalar) and "factor" (double).
//   Sink     (run time): input "in" (scalar); keeps the text it last received.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "quiet_worker.h"
#include "zelph/model/data_process.h"

namespace zelph::testing {

inline constexpr char kLoaderModel[] = "c0de0000-0000-4000-8000-000000000001";
inline constexpr char kConstantModel[] = "c0de0000-0000-4000-8000-000000000002";
inline constexpr char kSinkModel[] = "c0de0000-0000-4000-8000-000000000003";

// Idempotent; safe to call from every test.
void RegisterChainTestModels();

std::atomic<int>& LoaderRuns();

class SinkWorker : public QuietWorker {
 public:
  using QuietWorker::QuietWorker;
  std::string Received() const { return received_; }

 protected:
  void ExecuteImpl(ExecutionStage stage) override;

 private:
  std::string received_;
};

}  // namespace zelph::testing
