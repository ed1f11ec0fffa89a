// port.cpp
//
// Ports: derived ids, the linked set, and the holder's lookups.
#include "zelph/model/port.h"

#include <fmt/format.h>
#include <boost/uuid/uuid_io.hpp>

#include <algorithm>
#include <utility>

#include "zelph/logger/client_text.h"

namespace zelph {

const char* PortTypeToString(PortType type) {
  switch (type) {
    case PortType::input:
      return "input";
    case PortType::output:
      return "output";
    case PortType::input_control:
      return "input_control";
    case PortType::output_control:
      return "output_control";
    case PortType::unknown:
      return "unknown";
  }
  return "Unknown port type";
}

std::uint64_t HashPortName(std::string_view name) {
  constexpr std::uint64_t m = 0xc6a4a7935bd1e995ULL;
  std::uint64_t hash = 0;
  for (char c : name) {
    // Each byte as a signed char widened to 64 bits: bytes 0x80-0xFF are negative.
    std::uint64_t k =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<signed char>(c))) * m;
    k ^= k >> 47;
    k *= m;
    hash ^= k;
    hash *= m;
    hash += 0xe6546b64;
  }
  return hash;
}

Port::Port() : data_type_(DataTypeNull::GetInstance()) {}

Port::Port(Port&& other) noexcept
    : type_(other.type_),
      data_(std::move(other.data_)),
      data_type_(other.data_type_),
      name_(std::exchange(other.name_, {})),
      aliases_(std::exchange(other.aliases_, {})),
      optional_(other.optional_),
      hint_(std::exchange(other.hint_, {})),
      caption_(std::exchange(other.caption_, {})),
      id_(std::exchange(other.id_, {})),
      linked_ports_(std::exchange(other.linked_ports_, {})) {}

Port& Port::operator=(Port&& other) noexcept {
  if (this != &other) {
    type_ = other.type_;
    data_type_ = other.data_type_;
    optional_ = other.optional_;
    name_ = std::exchange(other.name_, {});
    aliases_ = std::exchange(other.aliases_, {});
    hint_ = std::exchange(other.hint_, {});
    caption_ = std::exchange(other.caption_, {});
    id_ = std::exchange(other.id_, {});
    data_ = std::move(other.data_);
    linked_ports_ = std::exchange(other.linked_ports_, {});
  }
  return *this;
}

std::string MakePortId(const boost::uuids::uuid& worker, PortType type, std::string_view name) {
  boost::uuids::uuid id{};
  std::copy(worker.data, worker.data + 4, id.data);
  const auto type_bits = static_cast<std::uint32_t>(type);
  for (int i = 0; i < 4; ++i) id.data[4 + i] = static_cast<std::uint8_t>(type_bits >> (8 * i));
  const std::uint64_t hash = HashPortName(name);
  for (int i = 0; i < 8; ++i) id.data[8 + i] = static_cast<std::uint8_t>(hash >> (8 * i));
  return boost::uuids::to_string(id);
}

void Port::GenerateId(const boost::uuids::uuid& workerUuid) {
  SetId(MakePortId(workerUuid, type_, name_));
}

std::string Port::ToString() const {
  return fmt::format("Port id: {}, name: {}, type: {}", QuoteClientText(id_),
                     QuoteClientText(name_), data_type_ ? data_type_->GetName() : "");
}

void Port::AddLinkedPort(Port* port) {
  if (port != nullptr) linked_ports_.insert(port);
}

Port* Port::RemoveLinkedPort(const std::string& id) {
  for (auto it = linked_ports_.begin(); it != linked_ports_.end(); ++it) {
    if ((*it)->id_ == id) {
      Port* port = *it;
      linked_ports_.erase(it);
      return port;
    }
  }
  return nullptr;
}

void Port::ForEachLinkedPorts(std::function<void(Port*)>&& fn) const {
  for (Port* port : linked_ports_) fn(port);
}

PortHolder& PortHolder::operator=(PortHolder&& other) noexcept {
  if (this != &other) ports_ = std::exchange(other.ports_, {});
  return *this;
}

std::vector<Port*> PortHolder::FindPorts(PortType type) const {
  std::vector<Port*> found;
  for (Port* port : ports_) {
    if (port->GetType() == type) found.push_back(port);
  }
  return found;
}

Port* PortHolder::FindPortById(const std::string& id) const {
  for (Port* port : ports_) {
    if (port->GetId() == id) return port;
  }
  return nullptr;
}

Port* PortHolder::FindPortById(PortType type, const std::string& id) const {
  for (Port* port : ports_) {
    if (port->GetType() == type && port->GetId() == id) return port;
  }
  return nullptr;
}

Port* PortHolder::FindPortByIdx(PortType type, size_t index) const {
  for (Port* port : ports_) {
    if (port->GetType() == type && index-- == 0) return port;
  }
  return nullptr;
}

Port* PortHolder::FindPortByName(PortType type, const std::string& name, bool withAliases) const {
  for (Port* port : ports_) {
    if (port->GetType() != type) continue;
    if (port->GetName() == name || (withAliases && port->HasAlias(name))) return port;
  }
  return nullptr;
}

size_t PortHolder::GetPortCount(PortType type) const {
  return static_cast<size_t>(std::count_if(
      ports_.begin(), ports_.end(), [type](const Port* port) { return port->GetType() == type; }));
}

}  // namespace zelph
