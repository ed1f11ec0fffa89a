// port.h
//
// Ports: the named connection points of a worker. Input and output ports hold port data
// (shared with links, caches and downstream ports); control ports mirror a model's
// controls. A PortHolder is the ordered list of a worker's or description's ports with
// the lookups by id, name, type and position.
//
// Port ids are derived, not random: the first four bytes of the worker's uuid, the port
// type and a hash of the name, so a worker rebuilt with the same uuid gets the same port
// ids (chain files store them in links). Two workers whose uuids share the first four
// bytes therefore give same-named ports equal ids: a port id is unique only per worker.
//
// Neither a port nor a holder owns the ports it points to; whoever makes the ports keeps
// them alive while any holder or linked set lists them. No locks: a worker's ports are
// changed only by the thread that builds or runs its chain.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port_data.h"

namespace zelph {

enum class PortType : int {
  input = 1,
  output = 2,
  input_control = 3,
  output_control = 4,
  unknown = 5,
};

// "input", "output", "input_control", "output_control", "unknown"; any other value gives
// "Unknown port type".
ZELPH_CHAIN_API const char* PortTypeToString(PortType type);

// The 64-bit name hash of port ids: hash_combine over the name's bytes as signed chars.
// Written out here because newer Boost releases changed boost::hash; stored ids must not.
ZELPH_CHAIN_API std::uint64_t HashPortName(std::string_view name);

// The id of a port of that type and name on the worker with that uuid: bytes 0-3 of the
// worker uuid, the type as 32-bit little-endian, the name hash as 64-bit little-endian; as
// lower-case uuid text. Ports take it (GenerateId), and the chain writers give it to ports a
// worker's model describes but the worker lacks, so both always agree.
ZELPH_CHAIN_API std::string MakePortId(const boost::uuids::uuid& worker, PortType type,
                                       std::string_view name);

class ZELPH_CHAIN_API Port {
 public:
  Port();
  Port(const Port& other) = default;
  Port& operator=(const Port& other) = default;
  // The source keeps its type, data type and optional mark; texts, aliases, data and
  // linked ports move over.
  Port(Port&& other) noexcept;
  Port& operator=(Port&& other) noexcept;
  virtual ~Port() = default;

  PortType GetType() const { return type_; }
  void SetType(PortType type) { type_ = type; }
  const IDataType* GetDataType() const { return data_type_; }
  void SetDataType(const IDataType* type) { data_type_ = type; }
  std::string GetName() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  std::string GetHint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  std::string GetCaption() const { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }
  bool IsOptional() const { return optional_; }
  void SetOptional(bool optional) { optional_ = optional; }
  std::string GetId() const { return id_; }
  virtual void SetId(const std::string& id) { id_ = id; }

  // Exact, case-sensitive.
  bool HasAlias(const std::string& alias) const { return aliases_.count(alias) != 0; }
  std::set<std::string> GetAliases() const { return aliases_; }
  void AddAlias(const std::string& alias) { aliases_.insert(alias); }
  void SetAliases(std::set<std::string> aliases) { aliases_ = std::move(aliases); }

  // The data object itself is shared, never copied.
  virtual std::shared_ptr<IPortData> GetData() const { return data_; }
  virtual void SetData(std::shared_ptr<IPortData> data) { data_ = std::move(data); }
  // Drops this port's reference only; others holding the data keep it intact.
  virtual void ResetData() { data_.reset(); }

  // Stores MakePortId of the worker's uuid, the type and the name via SetId.
  void GenerateId(const boost::uuids::uuid& workerUuid);

  // "Port id: {id}, name: {name}, type: {data type name}".
  std::string ToString() const;

  // The linked set: ports ordered by id text; ports with equal ids count as one.
  void AddLinkedPort(Port* port);
  // Removes and returns the linked port with this id, or null.
  Port* RemoveLinkedPort(const std::string& id);
  size_t GetLinkedPortCount() const { return linked_ports_.size(); }
  // Calls `fn` per linked port in ascending id order; `fn` must not change the set.
  void ForEachLinkedPorts(std::function<void(Port*)>&& fn) const;

 private:
  struct IdLess {
    bool operator()(const Port* a, const Port* b) const { return a->id_ < b->id_; }
  };

  // The type and the data share the first cache line: a chain run reads both for every
  // port of every worker and nothing else of most ports.
  PortType type_ = PortType::unknown;
  std::shared_ptr<IPortData> data_;
  const IDataType* data_type_;
  std::string name_;
  std::set<std::string> aliases_;
  bool optional_ = false;
  std::string hint_;
  std::string caption_;
  std::string id_;
  std::set<Port*, IdLess> linked_ports_;
};

class ZELPH_CHAIN_API PortHolder {
 public:
  PortHolder() = default;
  PortHolder(const PortHolder&) = default;
  PortHolder& operator=(const PortHolder&) = default;
  PortHolder(PortHolder&& other) noexcept : ports_(std::move(other.ports_)) {
    other.ports_.clear();
  }
  PortHolder& operator=(PortHolder&& other) noexcept;

  const std::vector<Port*>& GetPorts() const { return ports_; }
  // Appends without checks; makes no id.
  void AddPort(Port* port) { ports_.push_back(port); }

  std::vector<Port*> FindPorts(PortType type) const;
  Port* FindPortById(const std::string& id) const;
  Port* FindPortById(PortType type, const std::string& id) const;
  // The port at 0-based `index` among the ports of `type`, or null.
  Port* FindPortByIdx(PortType type, size_t index) const;
  // The first port of `type` whose name, or (withAliases) one of whose aliases, equals
  // `name`; each port is tested for both before the next.
  Port* FindPortByName(PortType type, const std::string& name, bool withAliases) const;
  size_t GetPortCount(PortType type) const;

 private:
  std::vector<Port*> ports_;
};

}  // namespace zelph
