// link_ends_observer.h
//
// zelph::LinkEndsObserver: told around every change of a link's ports, so that the link's
// owner can keep its lookups by port (which links touch a port) in step with edits made
// through the link itself (Plug, Unplug, SetSrcPort, SetDestPort, Unlink, assignment).
//
// Threading: called on the thread that edits the link, under whatever lock guards the edit.
#pragma once

#include "zelph/chain/export.h"

class Link;

namespace zelph {

class ZELPH_CHAIN_API LinkEndsObserver {
 public:
  virtual ~LinkEndsObserver() = default;

  // Before the ends change: the link still has its old ports.
  virtual void OnEndsChanging(const Link& link) = 0;
  // After the change: the link has its new ports.
  virtual void OnEndsChanged(const Link& link) = 0;
};

}  // namespace zelph
