// session.cpp
#include "zelph/projects/session.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <utility>

#include "url_safe_id.h"
#include "zelph/chain/exception.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/uuid.h"
#include "zelph/projects/project.h"

namespace zelph {
namespace {

constexpr std::int64_t kBuildingTimeoutSeconds = 300;

std::int64_t SteadyNowNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// now + timeout, saturated at the ends of the 64-bit range (a timeout of centuries stays
// in the future, a hugely negative one in the past).
std::int64_t DeadlineAfter(std::int64_t now_ns, std::int64_t timeout_s) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t timeout_ns = 0;
  if (__builtin_mul_overflow(timeout_s, std::int64_t{1'000'000'000}, &timeout_ns)) {
    return timeout_s > 0 ? kMax : kMin;
  }
  std::int64_t deadline = 0;
  if (__builtin_add_overflow(now_ns, timeout_ns, &deadline)) return timeout_ns > 0 ? kMax : kMin;
  return deadline;
}

}  // namespace

Session::Session(std::string id) : id_(std::move(id)) {
  idle_timeout_s_ = kBuildingTimeoutSeconds;
  RefreshDeadline();
}

Session::~Session() = default;

std::string Session::CreateProject() {
  RefreshDeadline();
  std::string id = NewUuidText();
  std::unique_lock lock(lock_);
  if (HasProjectUnlocked(id)) throw Exception("Project exist");
  projects_.push_back(CreateCountedProject(id));
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Project created: '{}'", id);
  return id;
}

void Session::CreateProject(const std::string& id) {
  RefreshDeadline();
  if (id.empty()) throw Exception("Empty project id");
  if (std::string refusal = UrlSegmentRefusal("Project", id); !refusal.empty()) {
    throw Exception(refusal);
  }
  std::unique_lock lock(lock_);
  if (HasProjectUnlocked(id)) throw Exception("Project exist");
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Project created: '{}'", QuoteClientText(id));
  projects_.push_back(CreateCountedProject(id));
}

std::shared_ptr<Project> Session::GetProject(const std::string& id) {
  RefreshDeadline();
  std::shared_lock lock(lock_);
  std::shared_ptr<Project> project = FindProjectUnlocked(id);
  if (!project) throw Exception(fmt::format("Project not found: {}", QuoteClientText(id)));
  return project;
}

bool Session::RemoveProject(const std::string& id) {
  RefreshDeadline();
  std::shared_ptr<Project> removed;
  {
    std::unique_lock lock(lock_);
    auto it = std::find_if(
        projects_.begin(), projects_.end(),
        [&](const std::shared_ptr<Project>& project) { return project->GetId() == id; });
    if (it == projects_.end()) return false;
    removed = std::move(*it);
    projects_.erase(it);
  }
  removed->InterruptRuns();
  // Destroying a project tells the plug-ins; the session's other requests need not wait.
  removed.reset();
  return true;
}

void Session::InterruptRuns() {
  std::shared_lock lock(lock_);
  for (const std::shared_ptr<Project>& project : projects_) project->InterruptRuns();
}

std::shared_ptr<Project> Session::CreateCountedProject(const std::string& id) const {
  std::shared_ptr<Project> project = Project::Create(id);
  project->SetRunActivity(run_activity_);
  return project;
}

void Session::ForEachProject(const std::function<void(const std::shared_ptr<Project>&)>& fn) {
  RefreshDeadline();
  std::shared_lock lock(lock_);
  for (const std::shared_ptr<Project>& project : projects_) fn(project);
}

void Session::SetIdleTimeout(std::int64_t seconds) {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Session: '{}' idle timeout: {}", QuoteClientText(id_),
            seconds);
  idle_timeout_s_ = seconds;
  RefreshDeadline();
}

void Session::RefreshDeadline() {
  deadline_ns_ = DeadlineAfter(SteadyNowNanoseconds(), idle_timeout_s_.load());
}

bool Session::IsIdle(std::chrono::steady_clock::time_point now) const {
  const std::int64_t now_ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
  if (idle_timeout_s_.load() == 0 || run_activity_->InProgress()) return false;
  // A run that ended refreshed the deadline as an access does.
  const std::int64_t last_run_end_ns = run_activity_->LastRunEnd();
  const std::int64_t deadline_ns =
      last_run_end_ns == 0
          ? deadline_ns_.load()
          : std::max(deadline_ns_.load(), DeadlineAfter(last_run_end_ns, idle_timeout_s_.load()));
  return deadline_ns < now_ns;
}

std::shared_ptr<Project> Session::FindProjectUnlocked(const std::string& id) const {
  for (const std::shared_ptr<Project>& project : projects_) {
    if (project->GetId() == id) return project;
  }
  return nullptr;
}

bool Session::HasProjectUnlocked(const std::string& id) const {
  return FindProjectUnlocked(id) != nullptr;
}

}  // namespace zelph
