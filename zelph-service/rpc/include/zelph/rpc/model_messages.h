// model_messages.h
//
// Model descriptions as API messages: a model into a GModel with its ports and controls, a
// port into a GPort. GetData answers a model with them, and a worker with its model's GModel
// and its own ports.
//
//   ModelToGModel(*model, *element->mutable_model());
//   for (const zelph::Port* port : worker->GetPorts()) PortToGPort(*port, *message.add_ports());
//
// Threading: the functions keep no state and read the description through copies; a model
// is never changed after it is registered.
#pragma once

#include "message/datatype/datatype.pb.h"

class IDataProcessModel;

namespace zelph {
class Port;
}  // namespace zelph

// Fills `message` (expected empty) from the model's description: its texts, the execution
// stage, the tags in sorted order, the option bits 8, 1, 2, 64 and 128 that are set (in this
// order), its ports and its controls. A control whose edition kind has no text ("unknown")
// or whose value type name is empty is left out with a warning naming the model and the
// control. `id` and `url` of the controls stay empty: they belong to a worker.
void ModelToGModel(IDataProcessModel& model, zelph::GModel& message);

// Fills `message` (expected empty) from the port. A port type without an API kind (such as
// "unknown") is logged as an error and stays kPortUnknown; `advanced` is not set.
void PortToGPort(const zelph::Port& port, zelph::GPort& message);
