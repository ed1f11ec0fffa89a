// transmitter.h
//
// How data or a parameter value passes from one port to another, by the kinds of the two
// ports:
//   output         -> input          the same data object (shared, never copied)
//   output         -> input_control  an initialised scalar's text becomes the property
//   output_control -> input          the source property's text as new scalar data
//   output_control -> input_control  the source property's text becomes the property
// Any other pair is logged at error level and nothing happens; nothing throws.
// Control ports are named after their control, so a control end's port name is the
// property name.
#pragma once

#include <memory>

#include "zelph/chain/export.h"
#include "zelph/model/base_control.h"
#include "zelph/model/port.h"

class IDataProcess;

class ZELPH_CHAIN_API ITransmitter {
 public:
  // The caller keeps the workers alive for the call (a link holds both of its workers).
  // Does nothing when either port is null; a control end without its worker takes or gives
  // nothing.
  void TransmitData(const std::shared_ptr<IDataProcess>& source_worker, zelph::Port* source_port,
                    const std::shared_ptr<IDataProcess>& destination_worker,
                    zelph::Port* destination_port) const;
};

class ZELPH_CHAIN_API PortModelFactory {
 public:
  // A new port for a control, owned by the caller: named, captioned and hinted after the
  // control, of the given type, scalar data type, optional.
  static zelph::Port* Create(const zelph::BaseControl& control, zelph::PortType type);
};
