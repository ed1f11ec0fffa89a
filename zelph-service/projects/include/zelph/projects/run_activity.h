// run_activity.h
//
// zelph::RunActivity: the runs in progress of one session's projects, shared by the session
// and its projects. The store's watchdog never takes a session away while one of its runs
// goes on, however long the run takes, and the end of a run counts as an access of the
// session (its idle time starts again from there).
//
//   auto activity = std::make_shared<RunActivity>();
//   {
//     RunActivity::Hold run = RunActivity::Begin(activity);
//     ...  // activity->InProgress() is true
//   }      // LastRunEnd() is now
//
// Threading: every member may be called from any thread; holds may end on any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace zelph {

class RunActivity {
 public:
  // Counts one run for its lifetime; movable. Keeps the activity alive, so a run may outlive
  // its session.
  class Hold {
   public:
    Hold() = default;
    Hold(Hold&& other) noexcept = default;
    Hold& operator=(Hold&& other) noexcept;
    ~Hold();

   private:
    friend class RunActivity;
    explicit Hold(std::shared_ptr<RunActivity> activity) : activity_(std::move(activity)) {}
    void End() noexcept;

    std::shared_ptr<RunActivity> activity_;
  };

  static Hold Begin(std::shared_ptr<RunActivity> activity);

  bool InProgress() const { return runs_.load() > 0; }
  // Steady-clock nanoseconds of the latest end of a run; 0 before the first one ended.
  std::int64_t LastRunEnd() const { return last_run_end_ns_.load(); }

 private:
  std::atomic<int> runs_{0};
  std::atomic<std::int64_t> last_run_end_ns_{0};
};

}  // namespace zelph
