// execution_stage.cpp
//
// Texts of the execution stages.
#include "zelph/model/execution_stage.h"

namespace zelph {

std::string ExecutionStageToString(const ExecutionStage& stage) {
  switch (stage) {
    case ExecutionStage::kUnknown:
      return "kUnknown";
    case ExecutionStage::kLoadingTime:
      return "loading_time";
    case ExecutionStage::kRunTime:
      return "run_time";
  }
  return "Unsupported stage";
}

ExecutionStage StringToExecutionStage(const std::string& text) {
  if (text == "loading_time" || text == "kLoadingTime") return ExecutionStage::kLoadingTime;
  if (text == "run_time" || text == "kRunTime") return ExecutionStage::kRunTime;
  return ExecutionStage::kUnknown;
}

}  // namespace zelph
