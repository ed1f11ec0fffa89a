// store.h
//
// zelph::Store: the root of the service's object tree. It keeps the client sessions (among
// them "default", made with the store), answers the handlers' session, project and model
// lookups, and runs the watchdog thread that removes idle sessions once a second.
//
//   zelph::Store store;
//   store.CreateSession("client-1");
//   const std::string project_id = store.GetSession("client-1")->CreateProject();
//   auto project = store.GetProject("client-1", project_id);   // refreshes the deadline
//
// Threading: every member may be called from any thread. The sessions vector is guarded by
// the store's reader/writer lock (exclusive to create and remove, shared to find and list).
// No session lock is taken while the store lock is held, and a removed session (with the
// projects only it held) is destroyed after the store lock is released.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

class IDataProcessModel;
class SimplePluginsManager;

namespace zelph {

class Project;
class Session;

inline constexpr char kDefaultSessionId[] = "default";

class Store {
 public:
  // Called with each session removed (by RemoveSession or the watchdog), its runs
  // interrupted, before the store lets it go; on the thread that removed it, with no lock of
  // the store held. Must not throw.
  using SessionRemoved = std::function<void(Session&)>;

  // Creates the "default" session and starts the watchdog. A failure of either is written
  // to the standard error stream and leaves the store without what failed. `on_removed` (may
  // be empty) must stay callable until the store is destroyed.
  explicit Store(SessionRemoved on_removed = {});
  // Stops the watchdog at once (it may be asleep) and joins it, then releases the sessions.
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // std::runtime_error "Session id is empty", "Session id contains '{c}'" for an id holding
  // '/', ':' or NUL (no URL could name it), or "Session exists". The session's idle timeout
  // is the configured one, read now.
  void CreateSession(const std::string& id);
  void CreateDefaultSession();
  // zelph::Exception "Session not found: {id}". Does not refresh the deadline.
  std::shared_ptr<Session> GetSession(const std::string& id) const;
  std::shared_ptr<Session> FindSession(const std::string& id) const;
  bool HasSession(const std::string& id) const;
  // Refreshes the session's deadline when the session exists; never throws.
  bool HasProject(const std::string& session_id, const std::string& project_id) const;
  // Refreshes the session's deadline; zelph::Exception "Session not found: {}" or
  // "Project not found: {}".
  std::shared_ptr<Project> GetProject(const std::string& session_id,
                                      const std::string& project_id) const;
  // Logs "Session removed: {id}" and answers true when there was such a session, whose
  // projects' runs are interrupted (Session::InterruptRuns), as they are when the watchdog
  // removes a session.
  bool RemoveSession(const std::string& id);
  // Calls `fn` for every session in creation order under the shared store lock: `fn` must
  // not create or remove sessions. Does not refresh deadlines.
  void ForEachSession(const std::function<void(const std::shared_ptr<Session>&)>& fn) const;
  // Session::ForEachProject of the session; a missing session and every exception are
  // swallowed.
  void ForEachProject(const std::string& session_id,
                      const std::function<void(const std::shared_ptr<Project>&)>& fn) const;
  // The registered model of that id; std::runtime_error "Model not found: {id}".
  std::shared_ptr<IDataProcessModel> GetModel(const std::string& id) const;

  // One sweep of the watchdog at `now`: the sessions idle then are removed, each tested
  // again under the exclusive lock, so one refreshed meanwhile stays.
  void RemoveIdleSessions(std::chrono::steady_clock::time_point now);
  // The two steps of a sweep, public so that tests can put a refresh between them.
  std::vector<std::string> CollectIdleSessions(std::chrono::steady_clock::time_point now) const;
  bool RemoveIdleSession(const std::string& id, std::chrono::steady_clock::time_point now);

 private:
  void SessionWatchdog();
  std::shared_ptr<Session> FindSessionUnlocked(const std::string& id) const;
  // Erases the session under the exclusive lock when `remove` approves it; the caller
  // releases the returned session after the lock.
  std::shared_ptr<Session> TakeSession(const std::string& id,
                                       const std::function<bool(const Session&)>& remove);
  // What a removal does once the session is out of the store: its runs interrupted and
  // `on_removed_` told. True when there was a session.
  bool Removed(const std::shared_ptr<Session>& removed);

  const SessionRemoved on_removed_;

  std::vector<std::shared_ptr<Session>> sessions_;
  mutable std::shared_mutex lock_;
  SimplePluginsManager* plugins_ = nullptr;
  std::mutex watchdog_mutex_;
  std::condition_variable watchdog_wake_;
  bool running_ = true;
  std::thread watchdog_;
};

}  // namespace zelph
