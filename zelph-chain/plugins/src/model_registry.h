// model_registry.h
//
// The plug-in manager's registry of models: every model under the session key it was
// registered with (lower case) and its id, newest first. Besides the order of registration
// it keeps an index by session key and id, and one by id, so that adding a model, finding
// one and listing a session's models cost the same however many other sessions (projects)
// have registered theirs.
//
// Threading: any number of threads at once. Reads share one lock and go on together; a
// change holds it alone for a few map operations. Callbacks run under the lock: they must
// not call back into the registry.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

class IDataProcessModel;

class ModelRegistry {
 public:
  using Model = std::shared_ptr<IDataProcessModel>;
  using ModelCallback = std::function<void(IDataProcessModel&)>;

  ModelRegistry() = default;
  ModelRegistry(const ModelRegistry&) = delete;
  ModelRegistry& operator=(const ModelRegistry&) = delete;

  // Unless a model with `id` is listed under `session_key` (false then), calls
  // `prepare(model)` and lists the model first. Of several threads inserting one id under
  // one key at once, exactly one succeeds.
  bool InsertUnlessListed(const std::string& session_key, const std::string& id, Model model,
                          const ModelCallback& prepare);

  // The newest model with `id`, of any session; empty if none.
  Model Find(const std::string& id) const;
  // The model with `id` listed under `session_key`; empty if none.
  Model Find(const std::string& session_key, const std::string& id) const;

  // Every model, newest first.
  std::vector<Model> Collect() const;
  // The models of one session key, newest first.
  std::vector<Model> Collect(const std::string& session_key) const;

  // Unlists the models of `session_key`, newest first, handing each to `on_removed`.
  // Returns them, so that their last owner can release them outside the lock.
  std::vector<Model> Remove(const std::string& session_key, const ModelCallback& on_removed);

  // Read without locking; may lag a change under way.
  std::uint64_t Count() const { return count_.load(std::memory_order_acquire); }

 private:
  // Registration order: a larger sequence is newer.
  using Sequence = std::uint64_t;
  using NewestFirst = std::map<Sequence, Model, std::greater<>>;

  struct Session {
    std::unordered_map<std::string, Sequence> by_id;
    NewestFirst models;
  };

  mutable std::shared_mutex mutex_;
  Sequence next_sequence_ = 0;
  NewestFirst models_;
  std::unordered_map<std::string, Session> sessions_;
  // Per id, the models of every session that has one.
  std::unordered_map<std::string, NewestFirst> by_id_;
  std::atomic<std::uint64_t> count_{0};
};
