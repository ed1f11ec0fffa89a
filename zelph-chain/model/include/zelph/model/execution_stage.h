// execution_stage.h
//
// When a worker runs: once while its chain is loading, or every time the chain is executed.
#pragma once

#include <cstdint>
#include <string>

#include "zelph/chain/export.h"

namespace zelph {

enum class ExecutionStage : std::int32_t {
  kUnknown = 0,
  kLoadingTime = 1,
  kRunTime = 2,
};

// "kUnknown", "loading_time", "run_time"; "Unsupported stage" for any other value.
ZELPH_CHAIN_API std::string ExecutionStageToString(const ExecutionStage& stage);
// 1 for "loading_time" and "kLoadingTime", 2 for "run_time" and "kRunTime", else 0 (exact,
// case-sensitive).
ZELPH_CHAIN_API ExecutionStage StringToExecutionStage(const std::string& text);

}  // namespace zelph
