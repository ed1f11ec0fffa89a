// service_background_tasks.h
//
// The one BackgroundTasks of the service (background_tasks.h): the threads of asynchronous
// project runs and the pool that makes previews. Projects hand their work to it; the host
// shuts it down before it releases the loggers and the plug-ins, so that no such thread
// outlives what it uses:
//
//   zelph::ServiceBackgroundTasks().Shutdown(zelph::BackgroundTasks::kDefaultShutdownBound);
//
// Made on first use, from any thread; after Shutdown it refuses new work for the rest of the
// process.
#pragma once

#include "zelph/projects/background_tasks.h"

namespace zelph {

BackgroundTasks& ServiceBackgroundTasks();

}  // namespace zelph
