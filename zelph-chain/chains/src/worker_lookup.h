// worker_lookup.h
//
// Helpers the execute strategies share: positions of workers by id in a copied worker list,
// the texts by which strategies recognise and log a worker's model, and the test that
// guards their debug dumps.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class IDataProcess;

namespace zelph::chains {

// Position of each worker id in a worker list; an id listed twice keeps its first position.
class WorkerIndex {
 public:
  static constexpr size_t kNone = std::numeric_limits<size_t>::max();

  void Assign(const std::vector<std::shared_ptr<IDataProcess>>& workers);
  void Clear();
  // kNone when the id is not in the list.
  size_t Find(const std::string& id) const;
  // The position of the worker's id as it was at Assign. A worker of the list is found
  // without copying and hashing its id text, which matters on long chains.
  size_t Find(const IDataProcess& worker) const;

 private:
  std::unordered_map<std::string, size_t> positions_;
  std::unordered_map<const IDataProcess*, size_t> positions_of_workers_;
};

// The id of the worker's model, empty for a worker without one.
std::string ModelIdOf(const IDataProcess& worker);
// The name of the worker's model description, empty for a worker without a model; quoted as
// client text, since it names log lines and a chain file may have given it.
std::string ModelNameOf(const IDataProcess& worker);

// True when debug lines would be written: the configuration and the logger both admit the
// level. Dumps that walk whole lists ask this first, so a run without debug logging never
// pays for them.
bool DebugDumpsEnabled();

// The worker at the first position of `order` (any range of positions) whose mark is 1;
// nullptr when there is none. The graph strategies' Front and Back.
template <typename Positions>
std::shared_ptr<IDataProcess> FirstMarked(
    const Positions& order, const std::vector<int>& marks,
    const std::vector<std::shared_ptr<IDataProcess>>& workers) {
  for (size_t index : order) {
    if (marks[index] == 1) return workers[index];
  }
  return nullptr;
}

}  // namespace zelph::chains
