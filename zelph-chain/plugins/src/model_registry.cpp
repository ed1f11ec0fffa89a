// model_registry.cpp
//
// Insertion and teardown of the model registry's list.
#include "model_registry.h"

#include <utility>

ModelRegistry::~ModelRegistry() {
  // Unlink iteratively: the default chain of unique_ptr destructors would recurse once per
  // node and can exhaust the stack on a long list.
  std::unique_ptr<Node> node = std::move(head_.next);
  while (node) node = std::move(node->next);
}

void ModelRegistry::Insert(Model model) {
  auto node = std::make_unique<Node>();
  node->model = std::move(model);
  std::lock_guard lock(head_.mutex);
  node->next = std::move(head_.next);
  head_.next = std::move(node);
  count_.fetch_add(1, std::memory_order_acq_rel);
}
