// model_registry.h
//
// The plug-in manager's registry of models: a singly linked list, newest model first, with
// one mutex per node. Every walk locks hand over hand (the next node is locked before the
// current one is released), so walks from many threads proceed together, each holding at
// most two adjacent node mutexes, always taken in list order (no deadlock between walks).
//
// Predicates and callbacks run while node mutexes are held: they must not call back into
// the registry.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class IDataProcessModel;

class ModelRegistry {
 public:
  using Model = std::shared_ptr<IDataProcessModel>;

  ModelRegistry() = default;
  ~ModelRegistry();
  ModelRegistry(const ModelRegistry&) = delete;
  ModelRegistry& operator=(const ModelRegistry&) = delete;

  // Unless a model for which `matches(IDataProcessModel&)` holds is listed (false then),
  // calls `prepare(IDataProcessModel&)` on `model` and puts it first in the list. Insertions
  // are serialised, so of several threads inserting matching models at once exactly one
  // succeeds; walks go on meanwhile.
  template <typename Predicate, typename Prepare>
  bool InsertUnless(Predicate matches, Model model, Prepare prepare);

  // The first model, newest first, for which `matches(IDataProcessModel&)` holds;
  // empty if none.
  template <typename Predicate>
  Model Find(Predicate matches) const;

  // Every matching model, newest first.
  template <typename Predicate>
  std::vector<Model> Collect(Predicate matches) const;

  // Unlinks every matching model and hands each to `on_removed(IDataProcessModel&)`
  // while its node is still locked. Returns the models removed, so that their last owner
  // can release them outside the locks.
  template <typename Predicate, typename OnRemoved>
  std::vector<Model> Remove(Predicate matches, OnRemoved on_removed);

  // Read without locking; may lag a concurrent walk that is changing the list.
  std::uint64_t Count() const { return count_.load(std::memory_order_acquire); }

 private:
  struct Node {
    mutable std::mutex mutex;
    Model model;
    std::unique_ptr<Node> next;
  };

  // Calls `visit(node)` for each node after the head, holding its mutex, hand over hand.
  template <typename Visit>
  void Walk(Visit visit) const;

  // Taken before the head's mutex, never while a node's mutex is held.
  std::mutex insert_mutex_;
  std::atomic<std::uint64_t> count_{0};
  Node head_;
};

template <typename Predicate, typename Prepare>
bool ModelRegistry::InsertUnless(Predicate matches, Model model, Prepare prepare) {
  // Removals may run during the search: they can only make a match disappear, never appear.
  std::lock_guard insert_lock(insert_mutex_);
  if (Find(matches)) return false;
  prepare(*model);
  auto node = std::make_unique<Node>();
  node->model = std::move(model);
  std::lock_guard head_lock(head_.mutex);
  node->next = std::move(head_.next);
  head_.next = std::move(node);
  count_.fetch_add(1, std::memory_order_acq_rel);
  return true;
}

template <typename Visit>
void ModelRegistry::Walk(Visit visit) const {
  std::unique_lock current(head_.mutex);
  for (const Node* node = head_.next.get(); node != nullptr; node = node->next.get()) {
    std::unique_lock next(node->mutex);
    current = std::move(next);  // releases the previous node only now
    if (!visit(*node)) return;
  }
}

template <typename Predicate>
ModelRegistry::Model ModelRegistry::Find(Predicate matches) const {
  Model found;
  Walk([&](const Node& node) {
    if (!matches(*node.model)) return true;
    found = node.model;
    return false;
  });
  return found;
}

template <typename Predicate>
std::vector<ModelRegistry::Model> ModelRegistry::Collect(Predicate matches) const {
  std::vector<Model> found;
  Walk([&](const Node& node) {
    if (matches(*node.model)) found.push_back(node.model);
    return true;
  });
  return found;
}

template <typename Predicate, typename OnRemoved>
std::vector<ModelRegistry::Model> ModelRegistry::Remove(Predicate matches, OnRemoved on_removed) {
  std::vector<Model> removed;
  Node* current = &head_;
  std::unique_lock current_lock(current->mutex);
  while (Node* next = current->next.get()) {
    std::unique_lock next_lock(next->mutex);
    if (matches(*next->model)) {
      on_removed(*next->model);
      std::unique_ptr<Node> unlinked = std::move(current->next);
      current->next = std::move(unlinked->next);
      removed.push_back(std::move(unlinked->model));
      count_.fetch_sub(1, std::memory_order_acq_rel);
      // No walker can wait on the unlinked node: reaching it needs the current node's
      // mutex, which this walk holds.
      next_lock.unlock();
      continue;  // `unlinked` is destroyed here; test the new next from the same node
    }
    current_lock = std::move(next_lock);
    current = next;
  }
  return removed;
}
