// link.cpp
//
// Link ends and the bookkeeping in the source port's linked set.
#include "zelph/model/link.h"

#include <utility>

#include "zelph/config/config_log.h"
#include "zelph/logger/client_text.h"
#include "zelph/model/data_process.h"
#include "zelph/model/uuid.h"

using zelph::PortType;

Link::Link() : id_(zelph::NewUuidText()) {}

Link::Link(std::shared_ptr<IDataProcess> source_worker, zelph::Port* source_port,
           std::shared_ptr<IDataProcess> destination_worker, zelph::Port* destination_port) {
  source_worker_ = std::move(source_worker);
  SetSrcPort(source_port);
  destination_worker_ = std::move(destination_worker);
  SetDestPort(destination_port);
  id_ = zelph::NewUuidText();
}

template <typename Change>
void Link::ChangeEnds(Change&& change) {
  if (ends_observer_ != nullptr) ends_observer_->OnEndsChanging(*this);
  change();
  if (ends_observer_ != nullptr) ends_observer_->OnEndsChanged(*this);
}

Link::Link(const Link& other)
    : id_(other.id_),
      transmitter_(other.transmitter_),
      source_worker_(other.source_worker_),
      source_port_(other.source_port_),
      destination_worker_(other.destination_worker_),
      destination_port_(other.destination_port_) {}

Link& Link::operator=(const Link& other) {
  if (this == &other) return *this;
  ChangeEnds([&] {
    id_ = other.id_;
    transmitter_ = other.transmitter_;
    source_worker_ = other.source_worker_;
    source_port_ = other.source_port_;
    destination_worker_ = other.destination_worker_;
    destination_port_ = other.destination_port_;
  });
  return *this;
}

Link::Link(Link&& other) noexcept
    : id_(std::move(other.id_)),
      transmitter_(std::move(other.transmitter_)),
      source_worker_(std::move(other.source_worker_)),
      source_port_(other.source_port_),
      destination_worker_(std::move(other.destination_worker_)),
      destination_port_(other.destination_port_) {}

Link& Link::operator=(Link&& other) noexcept {
  if (this == &other) return *this;
  ChangeEnds([&] {
    id_ = std::move(other.id_);
    transmitter_ = std::move(other.transmitter_);
    source_worker_ = std::move(other.source_worker_);
    source_port_ = other.source_port_;
    destination_worker_ = std::move(other.destination_worker_);
    destination_port_ = other.destination_port_;
  });
  return *this;
}

void Link::DetachDestinationFromSource() {
  if (source_port_ != nullptr && destination_port_ != nullptr) {
    source_port_->RemoveLinkedPort(destination_port_->GetId());
  }
}

void Link::SetSrcPort(zelph::Port* port) {
  // A replaced source must not keep listing the destination: that entry would outlive the
  // link and, once the destination's worker is gone, point to a freed port.
  ChangeEnds([&] {
    DetachDestinationFromSource();
    source_port_ = port;
    if (port == nullptr) {
      source_worker_.reset();
    } else if (destination_port_ != nullptr) {
      port->AddLinkedPort(destination_port_);
    }
  });
}

void Link::SetDestPort(zelph::Port* port) {
  ChangeEnds([&] {
    DetachDestinationFromSource();
    destination_port_ = port;
    if (port == nullptr) {
      destination_worker_.reset();
    } else if (source_port_ != nullptr) {
      source_port_->AddLinkedPort(port);
    }
  });
}

bool Link::Plug(std::shared_ptr<IDataProcess> worker, zelph::Port* port) {
  if (port == nullptr) return true;
  switch (port->GetType()) {
    case PortType::input:
    case PortType::input_control:
      destination_worker_ = std::move(worker);
      SetDestPort(port);
      break;
    case PortType::output:
    case PortType::output_control:
      source_worker_ = std::move(worker);
      SetSrcPort(port);
      break;
    default:
      break;
  }
  return true;
}

void Link::Unplug(zelph::Port* port) {
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kTrace, "DetachLinkFromPort");
  if (port == nullptr) return;
  const std::string id = port->GetId();
  if (source_port_ != nullptr && source_port_->GetId() == id) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kTrace, "DetachLinkFromPort detach source port");
    SetSrcPort(nullptr);
  } else if (destination_port_ != nullptr && destination_port_->GetId() == id) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kTrace, "DetachLinkFromPort detach destination port");
    SetDestPort(nullptr);
  }
}

void Link::Unlink() {
  SetSrcPort(nullptr);
  SetDestPort(nullptr);
}

void Link::TransmitData() const {
  transmitter_.TransmitData(source_worker_, source_port_, destination_worker_, destination_port_);
}

void Link::TransmitDataIfNecessary() const {
  if (destination_port_ != nullptr && destination_worker_ &&
      destination_worker_->CheckInputNecessary(destination_port_) == 0) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kDebug, "Skip transmit data {}[{}] -> {}[{}]",
                     zelph::QuoteClientText(source_worker_ ? source_worker_->GetName() : ""),
                     zelph::QuoteClientText(source_port_ ? source_port_->GetName() : ""),
                     zelph::QuoteClientText(destination_worker_->GetName()),
                     zelph::QuoteClientText(destination_port_->GetName()));
    return;
  }
  TransmitData();
}
