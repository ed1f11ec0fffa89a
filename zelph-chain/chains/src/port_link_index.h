// port_link_index.h
//
// zelph::chains::PortLinkIndex: how many link ends rest on each port id, kept by the linked
// chain for the question every Java worker asks about each of its ports on every run (does a
// link touch this port?), which would otherwise walk every link of the chain.
//
// The chain adds each link it takes and removes each link it lets go; as the links' ends
// observer it follows edits made through the links themselves. A port's id does not change
// while a link rests on it (the source port's linked set is ordered by those ids too).
//
// Threading: none of its own; the chain's edits and runs do not overlap.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

#include "zelph/model/link_ends_observer.h"

namespace zelph::chains {

class PortLinkIndex : public LinkEndsObserver {
 public:
  // Counts the link's present ends.
  void Add(const Link& link);
  // Takes the link's present ends off the count.
  void Remove(const Link& link);
  void Clear() { ends_.clear(); }
  bool HasLinkEnd(const std::string& port_id) const { return ends_.count(port_id) != 0; }

  void OnEndsChanging(const Link& link) override { Remove(link); }
  void OnEndsChanged(const Link& link) override { Add(link); }

 private:
  // Only ids with at least one end are present.
  std::unordered_map<std::string, std::size_t> ends_;
};

}  // namespace zelph::chains
