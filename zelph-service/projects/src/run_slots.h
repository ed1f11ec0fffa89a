// run_slots.h
//
// RunSlots: what a project's run looks up for each worker, made once per loaded chain and
// after each structural edit instead of per worker per run: the cache keys of the worker's
// ports, its statistic and its status entry. A run of an unchanged chain formats no key and
// searches no statistic or status map.
//
// A slot answers only for the worker object it was made for (it holds the worker weakly, so
// a new worker at a freed address gets a slot of its own), and the keys named after the
// worker's system name follow that name when a client changes it.
//
// Threading: used only by the thread that holds the project's busy state (a run, a step, a
// worker run or a load), which the project state makes one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "zelph/model/data_process.h"
#include "zelph/model/port.h"
#include "zelph/projects/object_status.h"
#include "zelph/projects/sharded_map.h"
#include "zelph/projects/statistic.h"

namespace zelph {

// The cache keys of one port of a worker.
struct PortRunKeys {
  Port* port = nullptr;
  ShardedKey input_by_id;     // "/worker:{worker id}/input:{port id}"
  ShardedKey input_by_name;   // "/worker:{worker id}/input:{port name}"
  ShardedKey output_by_id;    // "/worker:{worker id}/output:{port id}"
  ShardedKey output_by_name;  // "/worker:{worker id}/output:{port name}"
  // "/worker:{system name}/input:{port name}" and ".../output:...": empty without a name.
  ShardedKey input_by_system_name;
  ShardedKey output_by_system_name;
  // Whether each input key was present when last looked for, in the order input_by_system_
  // name, input_by_id, input_by_name.
  std::array<bool, 3> input_present{};
  ShardedKey port_cache;                 // "/cache:{port id}"
  std::vector<ShardedKey> linked_cache;  // "/cache:{id}" of every port linked to this one
};

struct WorkerRunSlot {
  std::weak_ptr<IDataProcess> worker;
  // The name the system-name keys were made for; none before they were first made.
  std::optional<std::string> system_name;
  std::vector<PortRunKeys> ports;
  // The cache's count of added keys (ShardedMap::KeysAdded) when the input keys were last
  // looked for; none before the first look.
  std::optional<std::uint64_t> inputs_checked_at;
  // Null until the project gives the worker one.
  std::shared_ptr<Statistic> statistic;
  std::shared_ptr<ObjectStatusData> status;

  // Remakes the system-name keys when `name` differs from the one they were made for.
  void FollowSystemName(const std::string& name);
};

class RunSlots {
 public:
  // The slot of `worker`, made now when it has none or its slot was made for another object
  // at the same address. The reference stays valid until Clear.
  WorkerRunSlot& SlotOf(const std::shared_ptr<IDataProcess>& worker);

  // Forgets every slot when `structure` (a count that changes with each structural edit) or
  // `removals` (a count of statistics removed) differs from the one given last.
  void ClearUnless(std::uint64_t structure, std::uint64_t removals);
  // Forgets every slot.
  void Clear();

 private:
  std::unordered_map<const IDataProcess*, WorkerRunSlot> slots_;
  std::uint64_t structure_ = 0;
  std::uint64_t removals_ = 0;
};

}  // namespace zelph
