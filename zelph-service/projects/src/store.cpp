// store.cpp
#include "zelph/projects/store.h"

#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <utility>

#include "url_safe_id.h"
#include "zelph/chain/exception.h"
#include "zelph/config/zelph_config.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/plugins/simple_plugins_manager.h"
#include "zelph/projects/project.h"
#include "zelph/projects/session.h"

namespace zelph {

Store::Store(SessionRemoved on_removed) : on_removed_(std::move(on_removed)) {
  try {
    plugins_ = SimplePluginsManager::GetInstance();
    CreateDefaultSession();
    watchdog_ = std::thread(&Store::SessionWatchdog, this);
  } catch (...) {
    std::cerr << "error\n";
  }
}

Store::~Store() {
  {
    std::lock_guard lock(watchdog_mutex_);
    running_ = false;
  }
  watchdog_wake_.notify_all();
  if (watchdog_.joinable()) watchdog_.join();
}

void Store::CreateSession(const std::string& id) {
  if (id.empty()) throw std::runtime_error("Session id is empty");
  if (std::string refusal = UrlSegmentRefusal("Session", id); !refusal.empty()) {
    throw std::runtime_error(refusal);
  }
  std::unique_lock lock(lock_);
  if (FindSessionUnlocked(id)) throw std::runtime_error("Session exists");
  auto session = std::make_shared<Session>(id);
  session->SetIdleTimeout(
      static_cast<std::int64_t>(ZelphConfig::GetInstance()->GetSessionIdleTimeoutMin()) * 60);
  sessions_.push_back(std::move(session));
}

void Store::CreateDefaultSession() { CreateSession(kDefaultSessionId); }

std::shared_ptr<Session> Store::GetSession(const std::string& id) const {
  std::shared_lock lock(lock_);
  std::shared_ptr<Session> session = FindSessionUnlocked(id);
  if (!session) throw Exception(fmt::format("Session not found: {}", QuoteClientText(id)));
  return session;
}

std::shared_ptr<Session> Store::FindSession(const std::string& id) const { return GetSession(id); }

bool Store::HasSession(const std::string& id) const {
  try {
    return GetSession(id) != nullptr;
  } catch (...) {
    return false;
  }
}

bool Store::HasProject(const std::string& session_id, const std::string& project_id) const {
  try {
    return FindSession(session_id)->GetProject(project_id) != nullptr;
  } catch (...) {
    return false;
  }
}

std::shared_ptr<Project> Store::GetProject(const std::string& session_id,
                                           const std::string& project_id) const {
  // The store lock is released before the session's is taken.
  return GetSession(session_id)->GetProject(project_id);
}

bool Store::RemoveSession(const std::string& id) {
  // Released here, after the lock: destroying the session's projects tells the plug-ins,
  // and the other sessions' requests need not wait for that.
  return Removed(TakeSession(id, [](const Session&) { return true; }));
}

void Store::ForEachSession(const std::function<void(const std::shared_ptr<Session>&)>& fn) const {
  std::shared_lock lock(lock_);
  for (const std::shared_ptr<Session>& session : sessions_) fn(session);
}

void Store::ForEachProject(const std::string& session_id,
                           const std::function<void(const std::shared_ptr<Project>&)>& fn) const {
  try {
    GetSession(session_id)->ForEachProject(fn);
  } catch (...) {
  }
}

std::shared_ptr<IDataProcessModel> Store::GetModel(const std::string& id) const {
  std::shared_ptr<IDataProcessModel> model = plugins_->FindModel(id);
  if (!model) throw std::runtime_error(fmt::format("Model not found: {}", QuoteClientText(id)));
  return model;
}

void Store::RemoveIdleSessions(std::chrono::steady_clock::time_point now) {
  for (const std::string& id : CollectIdleSessions(now)) RemoveIdleSession(id, now);
}

std::vector<std::string> Store::CollectIdleSessions(
    std::chrono::steady_clock::time_point now) const {
  std::vector<std::string> idle;
  ForEachSession([&](const std::shared_ptr<Session>& session) {
    if (session->IsIdle(now)) idle.push_back(session->GetId());
  });
  return idle;
}

bool Store::RemoveIdleSession(const std::string& id, std::chrono::steady_clock::time_point now) {
  // Tested again under the exclusive lock: a session touched since it was collected, or made
  // again under the same id, is in use and stays.
  // An idle session has no run in progress, unless one began since the test.
  return Removed(TakeSession(id, [now](const Session& session) { return session.IsIdle(now); }));
}

bool Store::Removed(const std::shared_ptr<Session>& removed) {
  if (!removed) return false;
  removed->InterruptRuns();
  if (on_removed_) on_removed_(*removed);
  return true;
}

std::shared_ptr<Session> Store::TakeSession(const std::string& id,
                                            const std::function<bool(const Session&)>& remove) {
  std::unique_lock lock(lock_);
  auto it =
      std::find_if(sessions_.begin(), sessions_.end(),
                   [&](const std::shared_ptr<Session>& session) { return session->GetId() == id; });
  if (it == sessions_.end() || !remove(**it)) return nullptr;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Session removed: {}", QuoteClientText(id));
  std::shared_ptr<Session> removed = std::move(*it);
  sessions_.erase(it);
  return removed;
}

void Store::SessionWatchdog() {
  std::unique_lock lock(watchdog_mutex_);
  while (running_) {
    lock.unlock();
    try {
      RemoveIdleSessions(std::chrono::steady_clock::now());
    } catch (const std::exception& e) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Session watchdog: {}", e.what());
    } catch (...) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Session watchdog: unknown exception");
    }
    lock.lock();
    // A second from the end of this sweep; the destructor wakes it at once.
    watchdog_wake_.wait_until(lock, std::chrono::steady_clock::now() + std::chrono::seconds(1),
                              [this] { return !running_; });
  }
}

std::shared_ptr<Session> Store::FindSessionUnlocked(const std::string& id) const {
  for (const std::shared_ptr<Session>& session : sessions_) {
    if (session->GetId() == id) return session;
  }
  return nullptr;
}

}  // namespace zelph
