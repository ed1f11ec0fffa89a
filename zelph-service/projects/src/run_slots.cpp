// run_slots.cpp
//
// Making the slots and their keys.
#include "run_slots.h"

#include <utility>

namespace zelph {
namespace {

ShardedKey WorkerKey(const std::string& worker, const char* direction, const std::string& port) {
  std::string key;
  key.reserve(8 + worker.size() + 9 + port.size());
  key.append("/worker:").append(worker).append(direction).append(port);
  return ShardedKey(std::move(key));
}

// Whether the slot still describes the worker's ports: a worker's ports change only with
// structural edits, but a slot must never name a port the worker no longer has.
bool SamePorts(const WorkerRunSlot& slot, const IDataProcess& worker) {
  const std::vector<Port*>& ports = worker.GetPorts();
  if (ports.size() != slot.ports.size()) return false;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    if (ports[i] != slot.ports[i].port) return false;
  }
  return true;
}

WorkerRunSlot MakeSlot(const std::shared_ptr<IDataProcess>& worker) {
  WorkerRunSlot slot;
  slot.worker = worker;
  const std::string& worker_id = worker->GetId();
  for (Port* port : worker->GetPorts()) {
    PortRunKeys keys;
    keys.port = port;
    const std::string port_id = port->GetId();
    const std::string port_name = port->GetName();
    keys.input_by_id = WorkerKey(worker_id, "/input:", port_id);
    keys.input_by_name = WorkerKey(worker_id, "/input:", port_name);
    keys.output_by_id = WorkerKey(worker_id, "/output:", port_id);
    keys.output_by_name = WorkerKey(worker_id, "/output:", port_name);
    keys.port_cache = ShardedKey("/cache:" + port_id);
    port->ForEachLinkedPorts(
        [&](Port* linked) { keys.linked_cache.emplace_back("/cache:" + linked->GetId()); });
    slot.ports.push_back(std::move(keys));
  }
  return slot;
}

}  // namespace

void WorkerRunSlot::FollowSystemName(const std::string& name) {
  if (system_name == name) return;
  system_name = name;
  inputs_checked_at.reset();
  for (PortRunKeys& keys : ports) {
    if (name.empty()) {
      keys.input_by_system_name = ShardedKey();
      keys.output_by_system_name = ShardedKey();
    } else {
      const std::string port_name = keys.port->GetName();
      keys.input_by_system_name = WorkerKey(name, "/input:", port_name);
      keys.output_by_system_name = WorkerKey(name, "/output:", port_name);
    }
  }
}

WorkerRunSlot& RunSlots::SlotOf(const std::shared_ptr<IDataProcess>& worker) {
  auto [it, made] = slots_.try_emplace(worker.get());
  WorkerRunSlot& slot = it->second;
  // The slot's weak hold keeps its control block, so an equal owner is the same object.
  const bool same_worker = !slot.worker.owner_before(worker) && !worker.owner_before(slot.worker);
  if (made || !same_worker || !SamePorts(slot, *worker)) {
    slot = MakeSlot(worker);
  }
  return slot;
}

void RunSlots::ClearUnless(std::uint64_t structure, std::uint64_t removals) {
  if (structure == structure_ && removals == removals_) return;
  Clear();
  structure_ = structure;
  removals_ = removals;
}

void RunSlots::Clear() { slots_.clear(); }

}  // namespace zelph
