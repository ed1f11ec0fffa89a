// chain_types.h
//
// Small value types shared by chains, their execute strategies and their callers: the
// result of chain operations, how often a run repeats its list, the commands a chain
// records, and the chain's flag and option numbers.
#pragma once

namespace zelph {

// Result of chain operations.
enum class Status : int {
  kSuccess = 0,
  // The execute strategy refused to prepare the run (a loop among the links); nothing ran.
  kPrepareRefused = 13,
};

}  // namespace zelph

// How often a run goes through the strategy's list.
enum class ExecutionFlow : int {
  // Run the list again after each pass while some worker asks to repeat.
  kRepeatWhileRequested = 1,
  // Run the list once: a step.
  kStep = 2,
};

// The last command a chain recorded; nothing in the framework acts on it.
enum class ChainCommand : int {
  kNone = 0,
  kExecuteOnce = 1,
  kStep = 3,
  kResetIterations = 4,
};

namespace zelph::chain {

// Bit numbers into a chain's flags word.
enum class Flag : int {
  // Set for the whole of a run.
  kExecuting = 1,
};

enum class ExecutionOption : int {
  kAll = 0,
  kMultithreading = 1,
  // A failed worker does not stop the run.
  kIgnoreExceptions = 2,
};

}  // namespace zelph::chain
