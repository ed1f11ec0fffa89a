// execute_strategy.cpp
//
// The strategy base and the factory over the four strategies.
#include "zelph/chains/execute_strategy.h"

#include <stdexcept>
#include <utility>

#include "zelph/chains/base_execute_strategy.h"
#include "zelph/chains/graph_execute_strategy.h"
#include "zelph/chains/output_broadcast_strategy.h"
#include "zelph/chains/reverse_graph_execute_strategy.h"
#include "zelph/logger/log.h"

ExecuteStrategy::ExecuteStrategy(const std::shared_ptr<IDataProcessChain>& chain, std::string name,
                                 ExecutionStrategyType type)
    : chain_(chain), name_(std::move(name)), type_(type) {}

std::shared_ptr<IDataProcessChain> ExecuteStrategy::LockChain() const {
  auto chain = chain_.lock();
  if (!chain) throw std::runtime_error("Chain not available");
  return chain;
}

ExecuteStrategy* CreateExecuteStrategy(ExecutionStrategyType type,
                                       std::shared_ptr<IDataProcessChain> chain) {
  switch (static_cast<int>(type)) {
    case 0:
      return new BaseExecuteStrategy(chain);
    case 1:
      return new GraphExecuteStrategy(chain);
    case 2:
      return new ReverseGraphExecuteStrategy(chain);
    case 3:
      return new OutputBroadcastStrategy(chain);
    default:
      ZELPH_LOG(ZelphSeverityLevel::kWarning,
                "Unsupported execution strategy, used ExecutionStrategyType::kBase");
      return new BaseExecuteStrategy(chain);
  }
}
