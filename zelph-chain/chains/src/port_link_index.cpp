// port_link_index.cpp
//
// Link ends counted by port id.
#include "port_link_index.h"

#include "zelph/model/link.h"
#include "zelph/model/port.h"

namespace zelph::chains {

void PortLinkIndex::Add(const Link& link) {
  for (const Port* port : {link.GetSrcPort(), link.GetDestPort()}) {
    if (port != nullptr) ++ends_[port->GetId()];
  }
}

void PortLinkIndex::Remove(const Link& link) {
  for (const Port* port : {link.GetSrcPort(), link.GetDestPort()}) {
    if (port == nullptr) continue;
    auto it = ends_.find(port->GetId());
    if (it != ends_.end() && --it->second == 0) ends_.erase(it);
  }
}

}  // namespace zelph::chains
