// test_model.h
//
// A small test model with scripted workers, for the tests of workers, chains and plug-ins:
//
//   auto worker = zelph::testing::MakeTestWorker(zelph::testing::Script::kPassThrough);
//   worker->FindPortByName(zelph::PortType::input, "input", false)->SetData(data);
//   worker->Execute(zelph::ExecutionStage::kRunTime);   // "output" now holds `data`
//
// Every test model has the same description: an input port "input", an output port
// "output", and the controls "count" (int) and "label" (text). Workers of it are made
// through the model, as plug-ins make theirs, so they carry their ports and their model.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quiet_worker.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model_base.h"

namespace zelph::testing {

enum class Script {
  kNoOp,         // counts the run and does nothing else
  kPassThrough,  // the output port shares the input port's data object
  kFailing,      // records an execution error, throws nothing
  kThrowing,     // throws std::runtime_error "Scripted throw" out of its work
  kRepeatOnce,   // passes through; asks to be repeated after its first run only
  kSlow,         // passes through after "delay_ms" (default 50) unless interrupted
};

// The message and class name a kFailing worker records.
inline constexpr char kScriptedFailure[] = "Scripted failure";
inline constexpr char kScriptedErrorClass[] = "ScriptedError";

class TestWorker : public QuietWorker {
 public:
  TestWorker(const boost::uuids::uuid& id, Script script);

  // The scripted work itself, as ExecuteImpl runs it; public so benchmarks can call it
  // directly. Runs on the thread that executes the worker.
  void Work(zelph::ExecutionStage stage);

  int GetRunCount() const { return run_count_.load(); }
  bool WasInterrupted() const { return interrupted_.load(); }
  zelph::ExecutionStage GetLastStage() const { return last_stage_; }
  // Sets what CheckInputNecessary answers for every port (-1 by default).
  void SetInputNecessary(int answer) { input_necessary_ = answer; }

  bool NeedToRepeat() override { return repeat_request_; }
  bool Reset() override;
  int CheckInputNecessary(zelph::Port*) override { return input_necessary_; }
  // May be called from another thread while the worker runs.
  void Interrupt() override { interrupted_ = true; }

 protected:
  void ExecuteImpl(zelph::ExecutionStage stage) override { Work(stage); }

 private:
  void PassThrough();

  const Script script_;
  std::atomic<int> run_count_{0};
  std::atomic<bool> interrupted_{false};
  zelph::ExecutionStage last_stage_ = zelph::ExecutionStage::kUnknown;
  int input_necessary_ = -1;
};

// The description every test model carries, named `name`.
zelph::BaseModelStructure MakeTestStructure(const std::string& name);

// A model whose workers follow `script`, with session id "test".
std::shared_ptr<IDataProcessModel> MakeTestModel(Script script);

// A worker of a new model of that script; a random id when `worker_id` is empty.
std::shared_ptr<TestWorker> MakeTestWorker(Script script, const std::string& worker_id = "");

// Records every flag change; can be told to throw when the executing flag is set or
// cleared.
class RecordingListener : public zelph::worker::ChangeFlagListener {
 public:
  struct Change {
    int old_flags;
    int new_flags;
    bool operator==(const Change&) const = default;
  };

  void OnChangeFlag(std::shared_ptr<IDataProcess> worker, int old_flags, int new_flags) override;

  std::vector<Change> changes;
  bool throw_on_set = false;
  bool throw_on_clear = false;
};

}  // namespace zelph::testing
