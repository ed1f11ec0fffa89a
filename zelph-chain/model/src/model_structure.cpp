// model_structure.cpp
//
// Model descriptions: option bits, lookups, the shared port store and the log text.
#include "zelph/model/model_structure.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "zelph/logger/client_text.h"

namespace zelph {

BaseModelStructure::BaseModelStructure() : port_store_(std::make_shared<PortStore>()) {}

void BaseModelStructure::SetUuid(const std::string& uuid) {
  uuid_ = uuid;
  std::transform(uuid_.begin(), uuid_.end(), uuid_.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
}

boost::optional<BaseControl> BaseModelStructure::FindControl(const std::string& name) const {
  for (const auto& control : controls_) {
    if (control.GetName() == name) return control;
  }
  return boost::none;
}

bool BaseModelStructure::SetOptionalFlag(OptionalFlag bits, bool on) {
  const bool was_set = GetOptionalFlag(bits);
  if (on) {
    optional_flags_ |= bits;
  } else {
    optional_flags_ &= ~static_cast<std::uint32_t>(bits);
  }
  return was_set;
}

void BaseModelStructure::AddPort(Port* port) {
  // A moved-from structure has no store; it gets a fresh one.
  if (!port_store_) port_store_ = std::make_shared<PortStore>();
  const bool owned = std::any_of(port_store_->begin(), port_store_->end(),
                                 [port](const auto& stored) { return stored.get() == port; });
  if (!owned) port_store_->emplace_back(port);
  ports_.AddPort(port);
}

void BaseModelStructure::SetPorts(std::list<Port>&& ports) {
  for (const Port& port : ports) AddPort(new Port(port));
}

Port* BaseModelStructure::FindPortByName(PortType type, const std::string& name,
                                         bool with_aliases) const {
  return ports_.FindPortByName(type, name, with_aliases);
}

void BaseModelStructure::ApplyParent(const BaseModelStructure& parent) {
  tags_.insert(parent.tags_.begin(), parent.tags_.end());
}

std::string BaseModelStructure::ToString() const {
  return fmt::format("{}.{} uuid: {} [{}] role: {}", QuoteClientText(category_),
                     QuoteClientText(name_), QuoteClientText(uuid_), controls_.size(),
                     QuoteClientText(role_class_name_));
}

}  // namespace zelph
