// service_background_tasks.cpp
#include "zelph/projects/service_background_tasks.h"

namespace zelph {

BackgroundTasks& ServiceBackgroundTasks() {
  static BackgroundTasks tasks;
  return tasks;
}

}  // namespace zelph
