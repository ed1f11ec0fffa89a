// serving_end.cpp
#include "zelph/host/serving_end.h"

#include <condition_variable>
#include <mutex>

#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/projects/service_background_tasks.h"

namespace zelph::host {
namespace {

// Never destroyed: a signal's thread may still wait on it while the process exits.
struct ServingEnd {
  std::mutex mutex;
  std::condition_variable ended_changed;
  bool ended = false;
};

ServingEnd& TheServingEnd() {
  static ServingEnd* const end = new ServingEnd;
  return *end;
}

}  // namespace

void FinishServing() {
  PrintAllProfiles();
  ServiceBackgroundTasks().Shutdown(BackgroundTasks::kDefaultShutdownBound);
  ReleaseSpdLogging();
  ServingEnd& end = TheServingEnd();
  {
    std::lock_guard lock(end.mutex);
    end.ended = true;
  }
  end.ended_changed.notify_all();
}

void AwaitServingEnd() {
  ServingEnd& end = TheServingEnd();
  std::unique_lock lock(end.mutex);
  end.ended_changed.wait(lock, [&] { return end.ended; });
}

}  // namespace zelph::host
