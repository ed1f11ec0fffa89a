// object_status.cpp
#include "zelph/projects/object_status.h"

namespace zelph {

const char* ObjectStatusText(int status) {
  switch (static_cast<ObjectStatus>(status)) {
    case ObjectStatus::kQueue:
      return "queue";
    case ObjectStatus::kExecuting:
      return "executing";
    case ObjectStatus::kReady:
      return "ready";
  }
  return "undefined";
}

}  // namespace zelph
