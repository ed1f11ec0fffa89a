// recorder_model.h
//
// Test models for chains: recorder workers that write, for every run, their name and what
// each of their inputs received into a shared run log, and put their name on every output.
//
//   ChainFixture fixture(ExecutionStrategyType::kGraph);
//   fixture.Add("A");
//   fixture.Add("B");
//   fixture.Connect("A", "B");
//   fixture.Run();          // {"A", "B(input:A)"}
//
// The models are registered with the plug-in manager, so workers are made the way a chain
// file makes them (IDataProcessChain::CreateWorker). Every model has the inputs "input" and
// "second" and the outputs "output" and "extra".
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "quiet_worker.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/model/data_process.h"

namespace zelph::testing {

inline constexpr char kRecorderModel[] = "c4a1e000-0000-4000-8000-000000000001";
inline constexpr char kLoadingRecorderModel[] = "c4a1e000-0000-4000-8000-000000000002";
// Ids the graph strategy treats as a redirecting model and as a kept model.
inline constexpr char kRedirectingModel[] = "00cd1ae9-7ea3-4704-b881-d0bd466875f4";
inline constexpr char kKeptModel[] = "2dd41c4a-bf87-4ec3-ba6a-50bf2793d394";

// The runs of one test, in order. Written by the thread that runs the chain.
struct RunLog {
  std::mutex mutex;
  std::vector<std::string> entries;
  std::vector<std::string> Take();
};

class RecorderWorker : public zelph::testing::QuietWorker {
 public:
  using QuietWorker::QuietWorker;

  void SetLog(std::shared_ptr<RunLog> log) { log_ = std::move(log); }
  void SetFails(bool fails) { fails_ = fails; }
  void SetThrows(bool throws) { throws_ = throws; }
  void SetRepeatOnce(bool repeat_once) { repeat_once_ = repeat_once; }
  // The run waits until Interrupt is called.
  void SetBlocks(bool blocks) { blocks_ = blocks; }
  void SetInputNecessary(int answer) { input_necessary_ = answer; }
  bool HasStarted() const { return started_.load(); }
  bool WasInterrupted() const { return interrupted_.load(); }
  int GetRunCount() const { return run_count_.load(); }

  bool NeedToRepeat() override { return repeat_request_; }
  int CheckInputNecessary(zelph::Port*) override { return input_necessary_; }
  // May be called from another thread while the worker runs.
  void Interrupt() override { interrupted_ = true; }

 protected:
  void ExecuteImpl(zelph::ExecutionStage stage) override;

 private:
  std::string DescribeInputs() const;

  std::shared_ptr<RunLog> log_;
  bool fails_ = false;
  bool throws_ = false;
  bool repeat_once_ = false;
  bool blocks_ = false;
  int input_necessary_ = -1;
  std::atomic<bool> started_{false};
  std::atomic<bool> interrupted_{false};
  std::atomic<int> run_count_{0};
};

// Registers the recorder models once per process.
void RegisterRecorderModels();

// A chain of recorder workers named by their system names.
class ChainFixture {
 public:
  explicit ChainFixture(ExecutionStrategyType type);

  RecorderWorker& Add(const std::string& name, const char* model_id = kRecorderModel);
  Link* Connect(const std::string& from, const std::string& to,
                const std::string& from_port = "output", const std::string& to_port = "input");
  void Disable(const std::string& name);
  RecorderWorker& Worker(const std::string& name);
  // Runs the chain and returns the log of this run (empty when the strategy refused it).
  std::vector<std::string> Run(zelph::ExecutionStage stage = zelph::ExecutionStage::kRunTime,
                               ExecutionFlow flow = ExecutionFlow::kRepeatWhileRequested);

  std::shared_ptr<IDataProcessChain> chain;
  std::shared_ptr<RunLog> log = std::make_shared<RunLog>();
  zelph::Status last_status = zelph::Status::kSuccess;
};

}  // namespace zelph::testing
