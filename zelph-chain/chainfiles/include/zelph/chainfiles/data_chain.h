// data_chain.h
//
// The plain structures that stand between a chain file and a live chain: a reader turns
// the JSON text into a DataChain (workers, ports, links, property bags, texts), and the
// chain builder turns the DataChain into workers and links. They hold the texts as the
// file gave them; filling them never consults the model registry. DataWorkerConfig and
// DataChainConfig carry the per-worker values of a chain configuration document.
//
// The structures take no lock; one thread fills or reads them at a time (their Property
// bags carry their own lock).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/model/execution_stage.h"
#include "zelph/model/port.h"
#include "zelph/model/property.h"

namespace zelph {

// One port of a worker as the chain file names it.
struct ZELPH_CHAIN_API DataPort {
  std::string id;
  int kind = static_cast<int>(PortType::unknown);
  std::string data_type_id;
  std::string name;

  void SetId(const std::string& value);
  void SetDataTypeId(const std::string& value);
  // Stores 1 to 4 unchanged; any other value becomes 5 (unknown).
  void SetKind(int value);
};

// One worker (block) of a chain file.
struct ZELPH_CHAIN_API DataWorker {
  std::string id;
  std::string executor_id;
  ExecutionStage execution_stage = ExecutionStage::kRunTime;
  std::string name;
  std::string executor_category;
  std::vector<DataPort> ports;
  Property properties;  // keyed by property name; "$__system." names stay as read
  Property system;      // keyed by the name without the "$__system." prefix

  // Moves are noexcept so that a growing vector of workers moves them instead of copying
  // every property bag; moving a bag only takes the lock of a bag nobody else uses.
  DataWorker() = default;
  DataWorker(const DataWorker&) = default;
  DataWorker(DataWorker&&) noexcept = default;
  DataWorker& operator=(const DataWorker&) = default;
  DataWorker& operator=(DataWorker&&) noexcept = default;

  void SetId(const std::string& value);
  void SetExecutorId(const std::string& value);
  // Exact texts only: "loading_time"/"kLoadingTime" 1, "run_time"/"kRunTime" 2, else 0.
  void SetExecutionStage(const std::string& text);
  // "name: {}, id: {}, executor id: {}"
  std::string ToString() const;
};

// The values to apply to one worker from a chain configuration document.
struct ZELPH_CHAIN_API DataWorkerConfig {
  Property properties;
  Property system;

  DataWorkerConfig() = default;
  DataWorkerConfig(const DataWorkerConfig&) = default;
  DataWorkerConfig(DataWorkerConfig&&) = default;
  DataWorkerConfig& operator=(const DataWorkerConfig&) = delete;
  DataWorkerConfig& operator=(DataWorkerConfig&&) = default;
};

// One link between two ports, named by their ids.
struct ZELPH_CHAIN_API DataLink {
  std::string id;
  std::string src_port_id;
  std::string dst_port_id;
  std::string src_worker_id;  // tells apart ports of different workers that share an id
  std::string dst_worker_id;

  void SetId(const std::string& value);
  void SetSrcPortId(const std::string& value);
  void SetDstPortId(const std::string& value);
  void SetSrcWorkerId(const std::string& value);
  void SetDstWorkerId(const std::string& value);
  // "link id: {}, src: {}, dst: {}"
  std::string ToString() const;
};

// A whole parsed chain file. Move-only: it can hold thousands of workers.
struct ZELPH_CHAIN_API DataChain {
  std::string app;
  std::string version;
  std::string id;  // empty after a read means no usable chain was read
  std::string name;
  std::string description;
  std::string category;
  bool all = false;
  bool multithreading = false;
  bool ignore_exceptions = false;
  std::string strategy = "rgraph";
  std::vector<DataWorker> workers;
  std::vector<DataLink> links;
  std::string executor;  // the "executor" section as indented JSON (document reader only)
  Property properties;
  std::string error;

  DataChain() = default;
  DataChain(const DataChain&) = delete;
  DataChain(DataChain&&) = default;
  DataChain& operator=(const DataChain&) = delete;
  DataChain& operator=(DataChain&&) = default;

  void SetId(const std::string& value);
  // Renames a port id at both ends of every link; the workers' ports are left alone.
  void ChangePortId(const std::string& old_id, const std::string& new_id);
};

// Worker key (member name under "workers") to the values for that worker.
class ZELPH_CHAIN_API DataChainConfig : public std::map<std::string, DataWorkerConfig> {
 public:
  DataChainConfig() = default;
  DataChainConfig(const DataChainConfig&) = default;
  DataChainConfig(DataChainConfig&&) = default;
  DataChainConfig& operator=(const DataChainConfig&) = delete;
  DataChainConfig& operator=(DataChainConfig&&) = delete;
};

}  // namespace zelph
