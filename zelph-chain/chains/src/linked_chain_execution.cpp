// linked_chain_execution.cpp
//
// How a linked chain runs: Execute for a whole stage, the flow loop that pulls workers from
// the strategy, the step for one worker, and the interrupt that other threads may raise.
// Nothing here catches: an exception from a worker, the strategy or a listener reaches the
// caller of Execute, with the executing flag cleared.
#include <chrono>
#include <ctime>

#include "zelph/chains/linked_chain.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/event.h"
#include "zelph/model/event_bus.h"
#include "zelph/model/port.h"

namespace zelph {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point Now(bool timed) { return timed ? Clock::now() : Clock::time_point{}; }

double Milliseconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

std::string LocalTimeOfDay() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16] = {};
  std::strftime(text, sizeof(text), "%T", &local);
  return text;
}

}  // namespace

Status LinkedChain::Execute(ExecutionStage stage, ::ExecutionFlow flow) {
  auto self = shared_from_this();
  SetFlag(chain::Flag::kExecuting);
  Status result = Status::kSuccess;
  try {
    const auto t0 = Clock::now();
    EventOnChainReadyToExecute event(stage);
    EventBusDispatch(&event);
    if (config_->CheckSeverity(ZelphSeverityLevel::kInfo)) {
      ZELPH_LOG(ZelphSeverityLevel::kInfo, "\n\n\n\nStart chain execution ('{}') at {}",
                ExecutionStageToString(stage), LocalTimeOfDay());
    }
    const auto t1 = Clock::now();
    if (!strategy_->Prepare(stage)) {
      result = Status::kPrepareRefused;
    } else {
      result = ExecuteFlow(stage, flow);
      const auto t2 = Clock::now();
      const auto t3 = Clock::now();
      if (config_->CheckSeverity(ZelphSeverityLevel::kInfo)) {
        ZELPH_LOG(ZelphSeverityLevel::kInfo,
                  "Time (chain execution) stage: '{}' total: {} ms, only execution: {} ms",
                  ExecutionStageToString(stage), Milliseconds(t0, t3), Milliseconds(t1, t2));
      }
    }
  } catch (...) {
    ClearFlag(chain::Flag::kExecuting);
    throw;
  }
  ClearFlag(chain::Flag::kExecuting);
  return result;
}

Status LinkedChain::ExecuteFlow(ExecutionStage stage, ::ExecutionFlow flow) {
  if (interrupt_.load()) ResetWorkersState();
  interrupt_.store(false);
  if (strategy_->IsEmpty()) return Status::kSuccess;

  const std::string folder = GetCurrentDir();
  for (const auto& worker : workers_) worker->SetCurrentDir(folder);

  auto worker = strategy_->Next();
  while (true) {
    for (; worker; worker = strategy_->Next()) {
      ExecuteWorker(worker, stage);
      if (interrupt_.load()) {
        ZELPH_LOG(ZelphSeverityLevel::kInfo,
                  "Chain interrupted because of interrupt flag established");
        SetCurrentWorker(nullptr);
        return Status::kSuccess;
      }
    }
    if (!strategy_->IsRepeat()) ResetWorkersState();
    if (flow == ::ExecutionFlow::kRepeatWhileRequested) {
      if (!strategy_->IsRepeat()) break;
      strategy_->Rebuild();
      worker = strategy_->Next();
    } else if (flow == ::ExecutionFlow::kStep) {
      strategy_->Rebuild();
      break;
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported execution flow");
      break;
    }
  }
  SetCurrentWorker(nullptr);
  return Status::kSuccess;
}

void LinkedChain::ExecuteWorker(const std::shared_ptr<IDataProcess>& worker, ExecutionStage stage) {
  SetCurrentWorker(worker);
  // The clock is read only for the debug line: on a long chain of light workers, reading it
  // four times per worker costs more than the workers themselves.
  const bool timed = config_->CheckSeverity(ZelphSeverityLevel::kDebug);
  const auto t0 = Now(timed);
  worker->ResetError(ErrorKind::kExecution);
  const auto t1 = Now(timed);
  strategy_->ExecuteAndTransmit(worker, stage);
  const auto t2 = Now(timed);
  // Transmitted data lives on in the destination ports; control ports keep theirs.
  worker->CleanUpPorts(PortType::input);
  worker->CleanUpPorts(PortType::output);
  if (worker->HasLastError() && !GetExecutionOption(chain::ExecutionOption::kIgnoreExceptions)) {
    interrupt_.store(true);
  }
  if (timed) {
    const auto t3 = Clock::now();
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "{}, total time: {} ms, execution time: {} ms",
              worker->ToString(), Milliseconds(t0, t3), Milliseconds(t1, t2));
  }
}

void LinkedChain::ExecuteWorker(const std::string& id) {
  auto worker = FindWorker(id);
  if (!worker) return;
  const ExecutionStage stage = worker->GetStructure().GetExecutionStage();
  if (strategy_->Prepare(stage)) ExecuteWorker(worker, stage);
}

void LinkedChain::Interrupt() {
  interrupt_.store(true);
  if (auto worker = GetCurrentWorker()) worker->Interrupt();
}

void LinkedChain::ResetWorkersState() {
  for (const auto& worker : workers_) worker->SetResetFlag(true);
}

ExecutionStatus LinkedChain::GetExecutionStatus() {
  if (auto worker = GetCurrentWorker()) return worker->GetExecutionStatus();
  return ExecutionStatus{};
}

void LinkedChain::SetCurrentWorker(std::shared_ptr<IDataProcess> worker) {
  std::lock_guard lock(current_worker_mutex_);
  current_worker_ = std::move(worker);
}

std::shared_ptr<IDataProcess> LinkedChain::GetCurrentWorker() const {
  std::lock_guard lock(current_worker_mutex_);
  return current_worker_;
}

}  // namespace zelph
