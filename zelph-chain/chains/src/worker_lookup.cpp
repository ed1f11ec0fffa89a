// worker_lookup.cpp
#include "worker_lookup.h"

#include "zelph/config/zelph_config.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model.h"

namespace zelph::chains {

void WorkerIndex::Assign(const std::vector<std::shared_ptr<IDataProcess>>& workers) {
  Clear();
  positions_.reserve(workers.size());
  positions_of_workers_.reserve(workers.size());
  for (size_t i = 0; i < workers.size(); ++i) {
    const size_t first = positions_.emplace(workers[i]->GetId(), i).first->second;
    positions_of_workers_.emplace(workers[i].get(), first);
  }
}

void WorkerIndex::Clear() {
  positions_.clear();
  positions_of_workers_.clear();
}

size_t WorkerIndex::Find(const std::string& id) const {
  auto it = positions_.find(id);
  return it == positions_.end() ? kNone : it->second;
}

size_t WorkerIndex::Find(const IDataProcess& worker) const {
  auto it = positions_of_workers_.find(&worker);
  return it != positions_of_workers_.end() ? it->second : Find(worker.GetId());
}

std::string ModelIdOf(const IDataProcess& worker) {
  auto* model = worker.GetDataProcessModel();
  return model == nullptr ? std::string() : model->GetId();
}

std::string ModelNameOf(const IDataProcess& worker) {
  return worker.GetDataProcessModel() == nullptr ? std::string()
                                                 : QuoteClientText(worker.GetName());
}

bool DebugDumpsEnabled() {
  return ZelphConfig::GetInstance()->CheckSeverity(ZelphSeverityLevel::kDebug) &&
         ::CheckSeverity(ZelphSeverityLevel::kDebug);
}

}  // namespace zelph::chains
