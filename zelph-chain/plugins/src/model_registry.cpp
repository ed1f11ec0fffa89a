// model_registry.cpp
//
// Teardown of the model registry's list.
#include "model_registry.h"

#include <utility>

ModelRegistry::~ModelRegistry() {
  // Unlink iteratively: the default chain of unique_ptr destructors would recurse once per
  // node and can exhaust the stack on a long list.
  std::unique_ptr<Node> node = std::move(head_.next);
  while (node) node = std::move(node->next);
}
