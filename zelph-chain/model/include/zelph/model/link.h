// link.h
//
// A link joins a port of one worker (its source) to a port of another (its destination).
// Chains create and own links and ask them to transmit after the source worker has run.
// A link keeps both workers alive (and with them their ports).
//
// Invariant: when a link has both ports, the destination port is in the source port's
// linked set, and a port replaced or taken away leaves no entry behind in any set. Copies
// and the destructor leave the sets alone: the owner unlinks a link before dropping it.
//
// An owner that looks links up by port sets an ends observer; every change of an end is
// reported to it. Copies and moved-to links start without one.
//
// Threading: no lock; the owner keeps the operations of one link from overlapping.
#pragma once

#include <memory>
#include <string>

#include "zelph/chain/export.h"
#include "zelph/model/link_ends_observer.h"
#include "zelph/model/port.h"
#include "zelph/model/transmitter.h"

class IDataProcess;

class ZELPH_CHAIN_API Link {
 public:
  // No ends, a new random id.
  Link();
  // Sets the source end, then the destination end (a null port leaves no worker at that
  // end); then a new random id.
  Link(std::shared_ptr<IDataProcess> source_worker, zelph::Port* source_port,
       std::shared_ptr<IDataProcess> destination_worker, zelph::Port* destination_port);
  // Copies and moves leave the observer where it is: an assigned-to link reports its new
  // ends to its own observer, and a new link has none.
  Link(const Link& other);
  Link& operator=(const Link& other);
  // The moved-from link keeps its port pointers but no workers.
  Link(Link&& other) noexcept;
  Link& operator=(Link&& other) noexcept;
  virtual ~Link() = default;

  // Null for none. The observer must stay alive until it is replaced or the link is gone.
  void SetEndsObserver(zelph::LinkEndsObserver* observer) { ends_observer_ = observer; }

  // Valid until the next SetId.
  const std::string& GetId() const { return id_; }
  void SetId(const std::string& id) { id_ = id; }
  std::shared_ptr<IDataProcess> GetSrcWorker() const { return source_worker_; }
  void SetSrcWorker(std::shared_ptr<IDataProcess> worker) { source_worker_ = std::move(worker); }
  std::shared_ptr<IDataProcess> GetDstWorker() const { return destination_worker_; }
  void SetDstWorker(std::shared_ptr<IDataProcess> worker) {
    destination_worker_ = std::move(worker);
  }
  zelph::Port* GetSrcPort() const { return source_port_; }
  zelph::Port* GetDestPort() const { return destination_port_; }

  // Null takes the source end away (and its worker).
  void SetSrcPort(zelph::Port* port);
  // Null takes the destination end away (and its worker).
  void SetDestPort(zelph::Port* port);
  // Attaches an end by the port's type (input kinds: destination, output kinds: source);
  // a port of another type changes nothing. Always true.
  bool Plug(std::shared_ptr<IDataProcess> worker, zelph::Port* port);
  // Detaches the end whose port has the same id as `port`.
  void Unplug(zelph::Port* port);
  // Detaches both ends.
  void Unlink();

  void TransmitData() const;
  // As TransmitData, unless the destination worker declares the input unnecessary now.
  void TransmitDataIfNecessary() const;

 private:
  // Takes the destination port out of the source port's set, when both exist.
  void DetachDestinationFromSource();
  // Runs `change` between the observer's two calls.
  template <typename Change>
  void ChangeEnds(Change&& change);

  std::string id_;
  ITransmitter transmitter_;
  std::shared_ptr<IDataProcess> source_worker_;
  zelph::Port* source_port_ = nullptr;
  std::shared_ptr<IDataProcess> destination_worker_;
  zelph::Port* destination_port_ = nullptr;
  zelph::LinkEndsObserver* ends_observer_ = nullptr;
};
