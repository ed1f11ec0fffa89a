// test_plugin_control.h
//
// The models of the service test plug-in and the switches through which tests steer them.
// The plug-in ("service_test_plugin") and the test programs share this library, so a test
// reads the counters the plug-in keeps and opens the latch its workers wait on:
//
//   auto& control = zelph::testing::TestPluginControl::Get();
//   control.SlowGate().Close();                     // slow workers now block
//   ... start a run on another thread ...
//   ASSERT_TRUE(control.SlowGate().WaitForInside(1));
//   control.SlowGate().Open();
//
// Models (ids below); every worker has the system name the chain file gives it:
//   Source  input model (flag 1): matrix "input" -> "output", passed through
//   Scale   matrix "input" -> "output", passed through
//   Sink    output model (flag 2): matrix "input" -> "output", passed through
//           These three and Slow are "pass" workers: asked for a visible result, their
//           preview is their output's data, and their visible-result meta information names
//           the output port (or is the text of their property "meta", when set). Their work
//           reports the event "work" and binds its thread (see AttachedThreads).
//   Value   data model (flag 8): first control "value" (text) -> scalar "output"
//   Fail    records the execution error "Scripted failure"
//   Slow    waits at SlowGate (or until it is interrupted), then passes "input" -> "output"
//           through
//   Loader  loading time: waits at LoaderGate, records its chain's context id for its
//           session, and fails when told to (SetLoaderFailure)
//   Main    main-settings model (flags 0x40 | 0x80), controls "threshold" (int, 5) and
//           "label" (text, "main"); registered for a session by RegisterAvailableModels, its
//           owner context id being the one the session's Loader recorded
// All but Main are registered when the plug-in is loaded.
//
// Threading: every member may be used from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "zelph/testing/export.h"

class IDataProcessModel;

namespace zelph::testing {

inline constexpr char kSourceModel[] = "7e570000-0000-4000-8000-000000000001";
inline constexpr char kScaleModel[] = "7e570000-0000-4000-8000-000000000002";
inline constexpr char kSinkModel[] = "7e570000-0000-4000-8000-000000000003";
inline constexpr char kValueModel[] = "7e570000-0000-4000-8000-000000000004";
inline constexpr char kFailModel[] = "7e570000-0000-4000-8000-000000000005";
inline constexpr char kSlowModel[] = "7e570000-0000-4000-8000-000000000006";
inline constexpr char kLoaderModel[] = "7e570000-0000-4000-8000-000000000007";
inline constexpr char kMainModel[] = "7e570000-0000-4000-8000-000000000008";

// The failure text a Fail worker records.
inline constexpr char kScriptedFailure[] = "Scripted failure";

// A latch that workers pass through, counting how many are inside at once.
class ZELPH_TESTING_API Gate {
 public:
  // Open at first.
  void Close();
  void Open();

  // Called by a worker: waits while the gate is closed, then leaves at once; also leaves
  // when `stop` (if given) turns true and Wake is called. The worker counts as inside from
  // the call until Leave.
  void Enter(const std::atomic<bool>* stop = nullptr);
  // Lets waiting workers test their stop flags.
  void Wake();
  void Leave();

  int Inside() const;
  // The most workers ever inside at once since the last Reset.
  int Peak() const;
  // How many Enter calls there were since the last Reset.
  int Entered() const;
  // Waits until `count` workers are inside; false when the time ran out first.
  bool WaitForInside(int count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Opens the gate and sets the counters to 0.
  void Reset();

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = true;
  int inside_ = 0;
  int peak_ = 0;
  int entered_ = 0;
};

enum class LoaderFailure {
  kNone,
  kStdException,    // std::runtime_error "Scripted loader failure"
  kOtherException,  // an int, which is no std::exception
};

class ZELPH_TESTING_API TestPluginControl {
 public:
  static TestPluginControl& Get();

  Gate& SlowGate() { return slow_gate_; }
  Gate& LoaderGate() { return loader_gate_; }

  // Calls of the plug-in's entry points per session key, as the manager passed it.
  int RegisterCount(const std::string& session) const;
  int ClearCount(const std::string& session) const;

  // ClearSession throws std::runtime_error "Scripted ClearSession failure" while set.
  void SetThrowOnClearSession(bool on);
  // Runs inside ClearSession, on the thread that clears, before the call is counted.
  void SetClearSessionHook(std::function<void(const std::string& session)> hook);
  void SetLoaderFailure(LoaderFailure failure);

  // Runs on the calling thread at each event of the plug-in, with what it names: "before"
  // and "after" (BeforeExecutingAll and AfterExecutingAll, the session key), and "work"
  // (the work of a pass worker, the worker's id).
  void SetEventHook(std::function<void(const std::string& event, const std::string& subject)> hook);

  // Threads that ran the work of a pass worker and have not ended yet: each is bound once,
  // on its first work, and released when it ends, as a thread attached to a virtual
  // machine would be.
  int AttachedThreads() const;
  // Waits until AttachedThreads() is `count`; false when the time ran out first.
  bool WaitForAttachedThreads(int count,
                              std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // Back to the state of a fresh process: counters, switches, gates, recorded contexts.
  void Reset();

  // Used by the plug-in and its workers.
  void OnRegister(const std::string& session);
  void OnClearSession(const std::string& session);
  void OnEvent(const std::string& event, const std::string& subject);
  void OnThreadAttached();
  void OnThreadDetached();
  LoaderFailure GetLoaderFailure() const;
  void RecordContext(const std::string& session, long long context_id);
  // The context id the session's Loader recorded last, or empty.
  std::string RecordedContext(const std::string& session) const;

 private:
  TestPluginControl() = default;

  mutable std::mutex mutex_;
  std::map<std::string, int> register_counts_;
  std::map<std::string, int> clear_counts_;
  std::map<std::string, long long> contexts_;
  bool throw_on_clear_ = false;
  std::function<void(const std::string&)> clear_hook_;
  std::function<void(const std::string&, const std::string&)> event_hook_;
  int attached_threads_ = 0;
  std::condition_variable attached_changed_;
  LoaderFailure loader_failure_ = LoaderFailure::kNone;
  Gate slow_gate_;
  Gate loader_gate_;
};

// The models the plug-in registers when it is loaded (all but Main), new objects each call.
ZELPH_TESTING_API void MakeStaticModels(std::vector<std::shared_ptr<IDataProcessModel>>& models);
// A new Main model whose owner context id is `context_id`.
ZELPH_TESTING_API std::shared_ptr<IDataProcessModel> MakeMainModel(const std::string& context_id);

}  // namespace zelph::testing
