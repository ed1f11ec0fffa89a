// worker_lookup.cpp
#include "worker_lookup.h"

#include "zelph/config/zelph_config.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model.h"

namespace zelph::chains {

void WorkerIndex::Assign(const std::vector<std::shared_ptr<IDataProcess>>& workers) {
  positions_.clear();
  positions_.reserve(workers.size());
  for (size_t i = 0; i < workers.size(); ++i) positions_.emplace(workers[i]->GetId(), i);
}

size_t WorkerIndex::Find(const std::string& id) const {
  auto it = positions_.find(id);
  return it == positions_.end() ? kNone : it->second;
}

std::string ModelIdOf(const IDataProcess& worker) {
  auto* model = worker.GetDataProcessModel();
  return model == nullptr ? std::string() : model->GetId();
}

std::string ModelNameOf(const IDataProcess& worker) {
  return worker.GetDataProcessModel() == nullptr ? std::string() : worker.GetName();
}

bool DebugDumpsEnabled() {
  return ZelphConfig::GetInstance()->CheckSeverity(ZelphSeverityLevel::kDebug) &&
         ::CheckSeverity(ZelphSeverityLevel::kDebug);
}

}  // namespace zelph::chains
