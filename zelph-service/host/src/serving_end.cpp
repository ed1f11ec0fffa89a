// serving_end.cpp
#include "zelph/host/serving_end.h"

#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/projects/service_background_tasks.h"

namespace zelph::host {

void FinishServing() {
  PrintAllProfiles();
  ServiceBackgroundTasks().Shutdown(BackgroundTasks::kDefaultShutdownBound);
  ReleaseSpdLogging();
}

}  // namespace zelph::host
