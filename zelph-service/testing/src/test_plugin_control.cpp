// test_plugin_control.cpp
#include "zelph/testing/test_plugin_control.h"

#include <stdexcept>
#include <utility>

namespace zelph::testing {

void Gate::Close() {
  std::lock_guard lock(mutex_);
  open_ = false;
}

void Gate::Open() {
  {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  changed_.notify_all();
}

void Gate::Enter(const std::atomic<bool>* stop) {
  std::unique_lock lock(mutex_);
  ++entered_;
  ++inside_;
  if (inside_ > peak_) peak_ = inside_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return open_ || (stop != nullptr && stop->load()); });
}

void Gate::Wake() {
  std::lock_guard lock(mutex_);
  changed_.notify_all();
}

void Gate::Leave() {
  {
    std::lock_guard lock(mutex_);
    --inside_;
  }
  changed_.notify_all();
}

int Gate::Inside() const {
  std::lock_guard lock(mutex_);
  return inside_;
}

int Gate::Peak() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

int Gate::Entered() const {
  std::lock_guard lock(mutex_);
  return entered_;
}

bool Gate::WaitForInside(int count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return inside_ >= count; });
}

void Gate::Reset() {
  {
    std::lock_guard lock(mutex_);
    open_ = true;
    inside_ = 0;
    peak_ = 0;
    entered_ = 0;
  }
  changed_.notify_all();
}

TestPluginControl& TestPluginControl::Get() {
  static TestPluginControl control;
  return control;
}

int TestPluginControl::RegisterCount(const std::string& session) const {
  std::lock_guard lock(mutex_);
  auto it = register_counts_.find(session);
  return it == register_counts_.end() ? 0 : it->second;
}

int TestPluginControl::ClearCount(const std::string& session) const {
  std::lock_guard lock(mutex_);
  auto it = clear_counts_.find(session);
  return it == clear_counts_.end() ? 0 : it->second;
}

void TestPluginControl::SetThrowOnClearSession(bool on) {
  std::lock_guard lock(mutex_);
  throw_on_clear_ = on;
}

void TestPluginControl::SetClearSessionHook(std::function<void(const std::string&)> hook) {
  std::lock_guard lock(mutex_);
  clear_hook_ = std::move(hook);
}

void TestPluginControl::SetLoaderFailure(LoaderFailure failure) {
  std::lock_guard lock(mutex_);
  loader_failure_ = failure;
}

void TestPluginControl::Reset() {
  {
    std::lock_guard lock(mutex_);
    register_counts_.clear();
    clear_counts_.clear();
    contexts_.clear();
    throw_on_clear_ = false;
    clear_hook_ = nullptr;
    event_hook_ = nullptr;
    loader_failure_ = LoaderFailure::kNone;
  }
  slow_gate_.Reset();
  loader_gate_.Reset();
}

void TestPluginControl::OnRegister(const std::string& session) {
  std::lock_guard lock(mutex_);
  ++register_counts_[session];
}

void TestPluginControl::OnClearSession(const std::string& session) {
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard lock(mutex_);
    hook = clear_hook_;
  }
  if (hook) hook(session);
  std::lock_guard lock(mutex_);
  ++clear_counts_[session];
  if (throw_on_clear_) throw std::runtime_error("Scripted ClearSession failure");
}

void TestPluginControl::SetEventHook(
    std::function<void(const std::string&, const std::string&)> hook) {
  std::lock_guard lock(mutex_);
  event_hook_ = std::move(hook);
}

void TestPluginControl::OnEvent(const std::string& event, const std::string& subject) {
  std::function<void(const std::string&, const std::string&)> hook;
  {
    std::lock_guard lock(mutex_);
    hook = event_hook_;
  }
  if (hook) hook(event, subject);
}

int TestPluginControl::AttachedThreads() const {
  std::lock_guard lock(mutex_);
  return attached_threads_;
}

bool TestPluginControl::WaitForAttachedThreads(int count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return attached_changed_.wait_for(lock, timeout, [&] { return attached_threads_ == count; });
}

void TestPluginControl::OnThreadAttached() {
  std::lock_guard lock(mutex_);
  ++attached_threads_;
  attached_changed_.notify_all();
}

void TestPluginControl::OnThreadDetached() {
  std::lock_guard lock(mutex_);
  --attached_threads_;
  attached_changed_.notify_all();
}

LoaderFailure TestPluginControl::GetLoaderFailure() const {
  std::lock_guard lock(mutex_);
  return loader_failure_;
}

void TestPluginControl::RecordContext(const std::string& session, long long context_id) {
  std::lock_guard lock(mutex_);
  contexts_[session] = context_id;
}

std::string TestPluginControl::RecordedContext(const std::string& session) const {
  std::lock_guard lock(mutex_);
  auto it = contexts_.find(session);
  return it == contexts_.end() ? std::string() : std::to_string(it->second);
}

}  // namespace zelph::testing
