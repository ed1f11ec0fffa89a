// session.h
//
// zelph::Session: the projects one client created, kept alive while the client uses them.
// Every project access refreshes the session's idle deadline (now + idle timeout); the
// store's watchdog removes a session whose deadline has passed, and with it every project
// that no request still holds. A run of one of its projects in progress keeps the session
// in use, and the end of a run refreshes the deadline (run_activity.h).
//
// Which calls refresh: CreateProject, GetProject, RemoveProject and ForEachProject do (the
// refresh comes before the session lock is taken); reading the id, the timeout or the
// deadline does not.
//
// Threading: every member may be called from any thread. The projects vector is guarded by
// the session's reader/writer lock (exclusive to create and remove, shared to find and
// list); the deadline and the timeout are atomic and written without it. A project removed
// from the session is destroyed after the lock is released, never under it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "zelph/projects/run_activity.h"

namespace zelph {

class Project;

class Session {
 public:
  // Idle timeout 300 s; the store then sets the configured one.
  explicit Session(std::string id);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const std::string& GetId() const { return id_; }

  // A project with a new random uuid as its id, counting its runs in the session's activity;
  // answers the id. Throws zelph::Exception
  // "Project exist" when the id is taken, and what the project's construction throws.
  std::string CreateProject();
  // A project with the client's id: zelph::Exception "Empty project id", "Project id
  // contains '{c}'" for an id holding '/', ':' or NUL (no URL could name it), or "Project
  // exist".
  void CreateProject(const std::string& id);
  // zelph::Exception "Project not found: {id}" when there is none.
  std::shared_ptr<Project> GetProject(const std::string& id);
  // True when a project was removed; its runs are interrupted (Project::InterruptRuns).
  bool RemoveProject(const std::string& id);
  // Project::InterruptRuns of every project; for a session taken out of the store. Does not
  // refresh the deadline.
  void InterruptRuns();
  // Calls `fn` for every project in creation order, under the shared session lock: `fn`
  // must not create or remove projects of this session.
  void ForEachProject(const std::function<void(const std::shared_ptr<Project>&)>& fn);

  // Sets the timeout and refreshes the deadline. 0 means the session never expires; a
  // negative timeout puts the deadline in the past. Deadlines saturate instead of
  // overflowing.
  void SetIdleTimeout(std::int64_t seconds);
  std::int64_t GetIdleTimeout() const { return idle_timeout_s_.load(); }
  // Nanoseconds of the steady clock.
  std::int64_t GetDeadline() const { return deadline_ns_.load(); }
  void RefreshDeadline();
  // Whether the watchdog may remove the session at `now`: never while a run of one of its
  // projects goes on, nor before the timeout has passed since the last run ended.
  bool IsIdle(std::chrono::steady_clock::time_point now) const;

 private:
  // A new project whose runs count in the session's activity.
  std::shared_ptr<Project> CreateCountedProject(const std::string& id) const;
  std::shared_ptr<Project> FindProjectUnlocked(const std::string& id) const;
  bool HasProjectUnlocked(const std::string& id) const;

  const std::string id_;
  std::atomic<std::int64_t> deadline_ns_{0};
  std::atomic<std::int64_t> idle_timeout_s_{300};
  const std::shared_ptr<RunActivity> run_activity_ = std::make_shared<RunActivity>();
  std::vector<std::shared_ptr<Project>> projects_;
  mutable std::shared_mutex lock_;
};

}  // namespace zelph
