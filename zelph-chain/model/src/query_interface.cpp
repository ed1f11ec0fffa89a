// query_interface.cpp
//
// Reference counting of Referable.
#include "zelph/model/query_interface.h"

Referable::Referable() : count_(1) {}

long long Referable::AddRef() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }

long long Referable::Release() {
  const long long count = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count == 0) {
    delete this;
  }
  return count;
}
