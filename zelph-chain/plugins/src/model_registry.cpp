// model_registry.cpp
//
// The model registry's order of registration and its indexes, kept together under one lock.
#include "model_registry.h"

#include <mutex>
#include <utility>

bool ModelRegistry::InsertUnlessListed(const std::string& session_key, const std::string& id,
                                       Model model, const ModelCallback& prepare) {
  std::unique_lock lock(mutex_);
  if (auto listed = sessions_.find(session_key);
      listed != sessions_.end() && listed->second.by_id.count(id) != 0) {
    return false;
  }
  prepare(*model);
  Session& session = sessions_[session_key];
  const Sequence sequence = next_sequence_++;
  session.by_id.emplace(id, sequence);
  session.models.emplace(sequence, model);
  by_id_[id].emplace(sequence, model);
  models_.emplace(sequence, std::move(model));
  count_.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

ModelRegistry::Model ModelRegistry::Find(const std::string& id) const {
  std::shared_lock lock(mutex_);
  auto found = by_id_.find(id);
  return found == by_id_.end() ? nullptr : found->second.begin()->second;
}

ModelRegistry::Model ModelRegistry::Find(const std::string& session_key,
                                         const std::string& id) const {
  std::shared_lock lock(mutex_);
  auto session = sessions_.find(session_key);
  if (session == sessions_.end()) return nullptr;
  auto sequence = session->second.by_id.find(id);
  if (sequence == session->second.by_id.end()) return nullptr;
  return session->second.models.at(sequence->second);
}

std::vector<ModelRegistry::Model> ModelRegistry::Collect() const {
  std::shared_lock lock(mutex_);
  std::vector<Model> found;
  found.reserve(models_.size());
  for (const auto& [sequence, model] : models_) found.push_back(model);
  return found;
}

std::vector<ModelRegistry::Model> ModelRegistry::Collect(const std::string& session_key) const {
  std::shared_lock lock(mutex_);
  std::vector<Model> found;
  auto session = sessions_.find(session_key);
  if (session == sessions_.end()) return found;
  found.reserve(session->second.models.size());
  for (const auto& [sequence, model] : session->second.models) found.push_back(model);
  return found;
}

std::vector<ModelRegistry::Model> ModelRegistry::Remove(const std::string& session_key,
                                                        const ModelCallback& on_removed) {
  std::vector<Model> removed;
  std::unique_lock lock(mutex_);
  auto session = sessions_.find(session_key);
  if (session == sessions_.end()) return removed;
  for (const auto& [id, sequence] : session->second.by_id) {
    auto same_id = by_id_.find(id);
    same_id->second.erase(sequence);
    if (same_id->second.empty()) by_id_.erase(same_id);
    models_.erase(sequence);
  }
  removed.reserve(session->second.models.size());
  for (auto& [sequence, model] : session->second.models) {
    on_removed(*model);
    removed.push_back(std::move(model));
  }
  count_.fetch_sub(removed.size(), std::memory_order_acq_rel);
  sessions_.erase(session);
  return removed;
}
