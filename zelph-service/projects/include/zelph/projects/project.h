// project.h
//
// zelph::Project: one chain of workers that a client builds and runs inside a session, and
// everything the service keeps about it: the project cache of port data, the statistics and
// object statuses of the chain and its workers, a property bag that mirrors the chain's
// descriptive properties, the settings tree read from the chain's models, and the state word
// that keeps loads, runs and configuration uploads from overlapping.
//
//   auto project = zelph::Project::Create("p1");
//   project->UploadProject(chain_json, "/solutions/demo/chain.json");
//   auto worker = project->GetWorker("source");       // by system name or id
//   project->SetCache("/input:source", data);
//
// Ownership: always owned by std::shared_ptr (Create is the only way to make one); a session
// holds its projects, and whoever works on a project holds it for as long. The project owns
// its chain, cache, maps and configuration.
//
// Plug-in session key: the plug-ins register a project's models, and keep their own
// per-project state, under a random uuid made with the project (GetPluginSessionKey), never
// under the client's project id, which is unique only within one session.
//
// Locking: the project lock (GetLock) is held exclusively while the chain's structure
// changes (an upload, link and worker edits, chain property changes) and shared for lookups
// and for a whole run. Each method says which mode it takes; none may be called by a thread
// that already holds the lock unless it says so, since the lock prefers writers and is not
// re-entrant. The cache, the statistics and status maps and the property bag lock
// themselves and need no project lock.
//
// Failure texts: every id, path or key in the texts below ({id}, {path}) is the client's
// text as QuoteClientText gives it, so a reply or log line that carries one stays one short
// line.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "zelph/projects/abandoned_call_watch.h"
#include "zelph/projects/background_tasks.h"
#include "zelph/projects/object_status.h"
#include "zelph/projects/project_state.h"
#include "zelph/projects/run_activity.h"
#include "zelph/projects/run_interrupt_request.h"
#include "zelph/projects/rw_lock.h"
#include "zelph/projects/service_cache.h"
#include "zelph/projects/sharded_map.h"

class IDataProcess;
class IDataProcessChain;
class Link;
class Property;
struct PropertyValue;
class ProjectConfiguration;
class SettingNode;
class SimplePluginsManager;

namespace zelph {

class Port;
class ProjectOnChangeChainFlag;
class ProjectOnChangeWorkerFlag;
class RunSlots;
struct Statistic;
struct WorkerRunSlot;

class Project : public std::enable_shared_from_this<Project> {
  struct CreationKey {
    explicit CreationKey() = default;
  };

 public:
  // A ready project with an empty chain. Registers the models the plug-ins offer to the
  // chain's (still empty) session. Throws what building the chain or the plug-ins throw.
  static std::shared_ptr<Project> Create(const std::string& id);

  Project(CreationKey, const std::string& id);
  ~Project();
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;

  const std::string& GetId() const { return id_; }
  const std::string& GetPluginSessionKey() const { return plugin_session_key_; }
  // The same chain for the project's whole life; its content changes under the lock.
  const std::shared_ptr<IDataProcessChain>& GetChain() const { return chain_; }
  // The mirror of the chain's properties ("chain.id", "chain.name", ...) and "zelph-project",
  // the last chain text loaded.
  const std::shared_ptr<Property>& GetChainProperties() const { return chain_properties_; }
  // A ProjectState value.
  int GetState() const { return state_.load(); }
  RwLock& GetLock() const { return lock_; }

  // Loading a chain -------------------------------------------------------------------------

  // Replaces the chain by the one in `json`; `path` is where it came from (its folder becomes
  // the chain's current folder). A busy project refuses at once with EvaluateCancelled
  // "Chain not ready to execute, {id}" and is left untouched. A failure while reading or
  // building the chain is std::runtime_error "Error while loading chain from the file\n
  // {path}\n{cause}"; the project is ready again afterwards, with its cache, statistics and
  // statuses empty and the chain holding what the failed load built. Takes the lock
  // exclusively before it changes anything (the registered models included), so that a wait
  // for it that ends at the caller's limit (wait_limit.h) leaves the project as it was.
  // With a `configuration` document, that document is then read and applied as
  // UploadConfiguration does, under the same state and the same exclusive hold, so that no
  // run and no wait of the caller comes between the chain and its configuration; its
  // failures (UploadConfiguration's texts) leave the new chain loaded. Answers the id of the
  // chain loaded.
  std::string UploadProject(const std::string& json, const std::string& path,
                            const std::optional<std::string>& configuration = std::nullopt);
  // UploadProject with the content of the file, and with the content of the configuration
  // file `configuration_path` unless it is empty; std::runtime_error "Failed open project
  // file: '{path}'" or "Failed open configuration file: '{path}'" when one cannot be read
  // (the project is untouched). Answers the id of the chain loaded.
  std::string LoadProjectFile(const std::string& path, const std::string& configuration_path = "");

  // The settings tree built at the end of the last successful load; empty before. Takes the
  // lock shared.
  std::shared_ptr<ProjectConfiguration> GetConfiguration() const;

  // Configuration ----------------------------------------------------------------------------
  // The tree's values are guarded by the configuration's own lock (ProjectConfiguration::
  // GetLock), which these methods take after the project lock and never while they wait for
  // it; the RPC handlers' setting writes go through ProjectConfiguration::SetValue, which
  // takes it too.

  // Reads a configuration document (or a bare main-settings values object) into the tree,
  // then ApplyConfiguration. A busy project refuses at once with EvaluateCancelled "Chain not
  // ready to upload configuration"; otherwise the state is busy meanwhile and ready again
  // however it ends. std::runtime_error "Current configuration is empty" without a loaded
  // chain, "Failed parse project configuration" when the reader refuses the document (the
  // reader logs why), and what ApplyConfiguration throws, the tree keeping the new values.
  // Takes the lock exclusively once, for reading and applying, so that a wait for it that
  // ends at the caller's limit (wait_limit.h) leaves the tree as it was.
  void UploadConfiguration(const std::string& json);
  // UploadConfiguration with the content of the file; std::runtime_error "Failed open
  // configuration file: '{path}'" when it cannot be read.
  void LoadConfigurationFile(const std::string& path);
  // Writes `value` into the control `name` of setting `setting_id` and applies the
  // configuration, under one exclusive hold taken before anything is written, so that a wait
  // for it that ends at the caller's limit (wait_limit.h) leaves the tree as it was. A setting
  // or control that does not exist, or a project without a configuration, changes nothing.
  // On a chain without its main-settings worker, which the value could never reach, it throws
  // std::runtime_error "Executor not found with id: {id}" before anything is written.
  void SetConfigurationValue(const std::string& setting_id, const std::string& name,
                             PropertyValue value);
  // Writes the main-settings values document into the main-settings worker's "settings"
  // property (SetWorkerPropertyFromString). Nothing without a configuration; std::runtime_error
  // "Executor not found with id: {id}" when the chain has no such worker, also for the empty
  // id of a chain without a main-settings worker. Takes the lock exclusively.
  void ApplyConfiguration();
  // Reads the main-settings worker's "settings" property back into the tree. Failures are
  // logged, never thrown: no main-settings worker, an empty "settings", a text the reader
  // refuses. Takes the lock shared.
  void UpdateConfigurationFromMainSetting();
  // As UpdateConfigurationFromMainSetting, for a caller that holds the lock (shared or
  // exclusively): a property write and the update it causes then share one hold, and no
  // wait for the lock comes between them.
  void UpdateConfigurationFromMainSettingHeld();
  // The configuration document, or the empty text before a chain is loaded. Takes the lock
  // shared only to copy the configuration pointer.
  std::string GetConfigurationJson() const;
  // A copy of the setting node of that id with its subtree, taken under the tree's lock, so
  // that its values can be read without it; std::runtime_error "Setting: {id} not found"
  // without a configuration or such a node. Takes the lock shared only to copy the
  // configuration pointer.
  std::shared_ptr<SettingNode> GetSetting(const std::string& id) const;

  // Project cache (no project lock) ----------------------------------------------------------

  // The entry of `key`, or the default DataEx when there is none.
  DataEx GetCache(const std::string& key) const;
  // Stores `data` (may be empty) under `key`, stamped now.
  void SetCache(const std::string& key, std::shared_ptr<IPortData> data);
  // The same with the stamp given (DataEx::Now), for the entries of one event alike.
  void SetCache(const std::string& key, std::shared_ptr<IPortData> data, std::int64_t modified);
  ServiceCache& GetServiceCache() const { return *cache_; }

  // Chain properties and chain text ----------------------------------------------------------

  // Copies the chain's executor text, id, name, category, description and strategy name into
  // the mirror bag. No lock of its own: the caller holds the lock exclusively.
  void SyncChainProperties();
  // Applies the mirror property `name` to the chain (one of "chain.executor", "chain.id",
  // "chain.name", "chain.category", "chain.description", "chain.execution.strategy",
  // "chain.execution.all", "chain.execution.multithreading",
  // "chain.execution.ignore.exception"; any other name changes nothing). An executor text
  // that is not JSON throws std::runtime_error "Chain options json parser error: {code}",
  // the text having been stored already. Takes the lock exclusively.
  void ApplyChainProperty(const std::string& name);
  // `write` changes the mirror, then ApplyChainProperty(name), both under one exclusive hold
  // taken before `write` runs: a wait for it that ends at the caller's limit (wait_limit.h)
  // leaves the mirror as it was.
  void EditChainProperty(const std::string& name, const std::function<void(Property&)>& write);
  // The chain as chain-file text. Takes the lock shared.
  std::string GetChainJson() const;

  // Iteration (no project lock: a caller outside a load or run holds it shared) ------------

  // Calls `fn` for each worker of a copy of the chain's list. A std::exception from `fn` is
  // logged and ends the iteration; other exceptions pass through.
  void ForEachWorker(const std::function<void(std::shared_ptr<IDataProcess>)>& fn) const;
  // Calls `fn` for each link of a copy of the chain's list; whatever `fn` throws is ignored.
  void ForEachLink(const std::function<void(Link*)>& fn) const;

  // Workers, links and ports -------------------------------------------------------------
  // Links and ports returned belong to the chain: valid until the next structural edit, so
  // a caller that keeps using one holds the lock shared meanwhile.

  // The first worker whose system name is `id`, else the first whose id is `id`; else
  // std::runtime_error "Executor not found with id: {id}". Takes the lock shared.
  std::shared_ptr<IDataProcess> GetWorker(const std::string& id) const;
  // The same for a caller that holds the lock.
  std::shared_ptr<IDataProcess> GetWorkerUnlocked(const std::string& id) const;
  // Never throw. Take the lock shared.
  bool HasWorker(const std::string& id) const;
  bool HasWorkerProperty(const std::string& worker_id, const std::string& name) const;
  bool HasWorkerSystemProperty(const std::string& worker_id, const std::string& name) const;
  // std::runtime_error "Link not found, link id: {id}" when there is none. Takes the lock
  // shared.
  Link* GetLink(const std::string& id) const;
  bool HasLink(const std::string& id) const;
  // The port of that id on any worker; std::runtime_error "Port not found port id: {id}".
  // Takes the lock shared.
  Port* GetPort(const std::string& id) const;

  // Links the source port of the source worker to the destination port of the destination
  // worker. Each port is looked up on its own worker ("Port not found port id: {id}" when
  // that worker has no such port); a refusal of the chain is std::runtime_error
  // "Failed create link between src port = {} and dst port = {}". Lookups and link under one
  // exclusive hold of the lock. Answers the new link's id, read under that hold: the link
  // itself may be gone as soon as the lock is released.
  std::string CreateLink(const std::string& source_worker_id, const std::string& source_port_id,
                         const std::string& destination_worker_id,
                         const std::string& destination_port_id);
  // Re-plugs the link: a port id plugs the end its type selects, an empty id unplugs that
  // end. Both ids are resolved before either end changes, so a failed call changes nothing.
  // Takes the lock exclusively.
  void UpdateLink(const std::string& link_id, const std::string& source_port_id,
                  const std::string& destination_port_id);
  // Removes the worker's links ("/link:{id}" to `removed` for each), then the worker
  // ("/worker:{id}", also when the chain had no such worker), then its statistic. A worker
  // id that is not a uuid throws std::runtime_error "invalid uuid string". Takes the lock
  // exclusively; `removed` runs under it.
  void RemoveWorker(const std::string& worker_id, const std::function<void(std::string)>& removed);
  // As RemoveWorker, for a caller that already holds the lock exclusively: a removal of
  // several objects takes every lock it needs before its first change.
  void RemoveWorkerHeld(const std::string& worker_id,
                        const std::function<void(std::string)>& removed);
  // The ids of the links that removing the worker would remove. The caller holds the lock;
  // throws as RemoveWorker for an id that is not a uuid.
  std::vector<std::string> LinkIdsOfWorker(const std::string& worker_id) const;

  // Statistics and statuses (no project lock) --------------------------------------------

  // Erases the cache key "/statistic:{id}" and the object's statistic; true when there was
  // a statistic.
  bool RemoveStatistic(const std::string& object_id);
  // Sets the status of a worker or of the chain, stamped with ObjectStatusData::Now().
  void SetObjectStatus(const std::string& object_id, int status);
  // The chain's status, or empty. Takes no project lock, so a status read never waits
  // behind a run and an edit queued after it; the chain id it looks up is the copy that
  // every change of the id publishes (PublishChainId).
  std::shared_ptr<ObjectStatusData> GetChainStatus() const;
  ShardedMap<std::shared_ptr<Statistic>>& GetStatistics() { return statistics_; }
  ShardedMap<std::shared_ptr<ObjectStatusData>>& GetObjectStatuses() { return object_statuses_; }

  // The statistic of a worker or of the chain, or empty.
  std::shared_ptr<Statistic> FindStatistic(const std::string& object_id) const;
  // The statistic of the object, made with `type` ("worker" or "chain") when there is none.
  std::shared_ptr<Statistic> GetOrCreateStatistic(const std::string& object_id,
                                                  const std::string& type);
  // Sets the execution order back to 0 and resets the statistics with `stage`: every
  // worker's (kStageLoad) or only the run-time workers' (kStageInit), numbered in chain
  // order, then the chain's, numbered after them. Loading-time workers keep theirs through
  // runs. No project lock of its own: the caller holds it (a run shared, a load exclusively).
  void ResetStatistics(int stage);

  // Runs (project_run.cpp) -------------------------------------------------------------------
  // A project runs one thing at a time: a run, a worker run or a step entered while another
  // one, a load or a configuration upload is under way is refused at once with
  // EvaluateCancelled; each holds the lock shared for its whole length, so structural edits
  // wait for it to end while readers go on. Each is counted among the service's runs in
  // progress: past their cap (BackgroundTasks::SetMaxRuns) a run is refused with TooManyRuns
  // before anything changes. A run on the calling thread whose call is given up (the thread's
  // WaitLimit ends) is interrupted (abandoned_call_watch.h).

  // Runs the chain at the run-time stage on the calling thread, between the plug-ins'
  // BeforeExecutingAll and AfterExecutingAll. Refused with "Chain not ready to execute, {id}".
  // Whatever the chain or a plug-in throws reaches the caller, the project ready again.
  void Execute();
  // Prepares the run as Execute does, then runs it on a counted thread of its own
  // (ServiceBackgroundTasks) and returns at once. The shared hold of the lock and the busy
  // state pass to that thread without a gap and end with the run; the thread keeps the
  // project alive meanwhile. Refused with "Chain not ready to execute, {id}", and after
  // shutdown began with "Service is shutting down, run refused: {id}"; std::system_error
  // when no thread can be started (the project is then ready again).
  void ExecuteAsync();
  // Runs one worker (by system name or id) alone, its input ports fed from the "/cache:{port}"
  // entries (a port without one is emptied); no plug-in calls and no chain statistic. An
  // unknown worker throws "Executor not found with id: {id}" before anything changes.
  void ExecuteWorker(const std::string& worker_id);
  // One step of the chain (the step flow) without the plug-in calls and the workers' visible
  // result flags. Refused with "Chain not ready to evaluate".
  void ExecuteStep();
  // The preparation steps that runs and steps share; the caller holds the lock shared.
  void InstallWorkerFlagListener();
  // Workers that already have a status go to queue.
  void MarkWorkersQueued();

  // Counts the project's runs in `activity` (its session's) from now on; the session sets it
  // before it hands the project out. Until then a project counts them in an activity of its
  // own.
  void SetRunActivity(std::shared_ptr<RunActivity> activity);
  // For a project taken out of its session, whose results have nowhere to go: interrupts the
  // run in progress, if any, and every run from now on, which is refused at its start or
  // stopped at its next worker. May be called from any thread, also during a run.
  void InterruptRuns();
  // The client's interrupt: the run in progress, if any, is interrupted until it ends, also
  // when the chain has not begun yet. May be called from any thread, also during a run.
  void InterruptRun();

  // Previews (project_preview.cpp) -----------------------------------------------------------

  // The preview of the worker from the cached data of the port its visible-result meta
  // information names ("/ports/0/id"), built in the background into "/preview:{worker id}".
  // Does nothing unless the project asks for visible results and the worker is enabled and
  // without error. Meta information that is not JSON throws std::runtime_error "Worker
  // visible results meta information json parser error: {code}"; a missing port id, port or
  // cache entry is logged and changes nothing. No project lock; call it without holding one.
  void BuildPreview(const std::shared_ptr<IDataProcess>& worker);

 private:
  friend class ProjectOnChangeChainFlag;
  friend class ProjectOnChangeWorkerFlag;

  // What a run on the calling thread holds while it goes on: its count in the session's
  // activity, and in the service's runs, so that the shutdown interrupts it wherever the
  // project is, and the watch of its call, so that a caller who gives up interrupts it.
  struct CallingThreadRun {
    RunActivity::Hold activity;
    BackgroundTasks::CallingThreadRun service;
    AbandonedCallWatch::Hold abandoned;
    AbandonedCallWatch::Hold interrupted;
  };
  // Counts a run that has entered the executing state. Throws EvaluateCancelled with
  // `refusal` for a project whose runs are interrupted for good, and TooManyRuns at the cap
  // of runs in progress.
  CallingThreadRun CountRunOnThisThread(const std::string& refusal);
  // The interrupt of a run of this project's chain: safe to call on any thread at any time,
  // also once the chain is gone, and keeps nothing alive.
  BackgroundTasks::Task ChainInterrupt() const;

  // Run preparation: statistics reset, listeners, the workers' visible-result and
  // all-outputs flags, queued statuses. The caller holds the lock shared.
  void PrepareRun();
  // ApplyConfiguration for a caller that holds the lock exclusively.
  void ApplyConfigurationUnlocked();
  // UploadConfiguration's reading and applying, for a caller that holds the lock exclusively
  // (and the busy state).
  void UploadConfigurationUnlocked(const std::string& json);
  // The main-settings worker that the configuration (not null) names; std::runtime_error
  // "Executor not found with id: {id}" when the chain has none. The caller holds the lock.
  std::shared_ptr<IDataProcess> MainSettingWorkerUnlocked() const;
  // Writes the main-settings values document into `worker`'s "settings" property. The
  // caller holds the lock exclusively.
  void WriteMainSettingValues(IDataProcess& worker);
  // The content of a configuration file; std::runtime_error "Failed open configuration
  // file: '{path}'" when it cannot be read.
  static std::string ReadConfigurationFile(const std::string& path);
  // ApplyChainProperty for a caller that holds the lock exclusively.
  void ApplyChainPropertyUnlocked(const std::string& name);
  // Hands every worker the chain's "__tmp.create_visible_result" and
  // "__tmp.all_outputs_necessary" flags.
  void PassResultFlagsToWorkers();

  // What the listeners do around a run (project_listeners.cpp). Run thread, no project lock.
  void OnChainStarted(IDataProcessChain& chain);
  void OnChainFinished(IDataProcessChain& chain);
  void OnWorkerStarted(const std::shared_ptr<IDataProcess>& worker);
  void OnWorkerFinished(const std::shared_ptr<IDataProcess>& worker);

  // The worker's run slot (run_slots.h), its keys following the worker's system name. Only
  // on the thread that holds the busy state.
  WorkerRunSlot& RunSlotOf(const std::shared_ptr<IDataProcess>& worker);
  // The slot's status entry set to `status` stamped at `time`, made on first use.
  void SetWorkerStatus(IDataProcess& worker, WorkerRunSlot& slot, int status,
                       std::chrono::steady_clock::time_point time);

  // Statistics of a run (project_statistics.cpp).
  void ResetWorkerStatistic(const std::shared_ptr<IDataProcess>& worker, int stage,
                            std::int64_t& index);
  void UpdateWorkerStatistic(std::chrono::steady_clock::time_point end, IDataProcess& worker,
                             WorkerRunSlot& slot);

  // Data between the cache and the workers (project_data.cpp). Run thread, no project lock.
  void PushInputData(IDataProcess& worker, WorkerRunSlot& slot);
  void PushInputDataToPortOrControl(IDataProcess& worker, const std::string& system_name);
  void PushWorkerInputs(WorkerRunSlot& slot);
  void CacheWorkerPorts(const WorkerRunSlot& slot);
  void CacheSystemOutput(IDataProcess& worker, const std::string& system_name);
  void CacheWorkerOutputs(const WorkerRunSlot& slot);
  // Keeps the worker's visible-result meta information in its "__tmp.visible_result_meta_
  // information" property.
  static void StoreVisibleResultMetaInformation(IDataProcess& worker);

  // SetCache for a key whose shard the caller worked out once.
  void SetCache(const ShardedKey& key, std::shared_ptr<IPortData> data, std::int64_t modified);

  // Previews (project_preview.cpp).
  bool NeedsVisibleResult(IDataProcess& worker) const;
  void UpdateWorkerPreview(const std::shared_ptr<IDataProcess>& worker);
  void StartPreview(IDataProcess& worker, std::shared_ptr<IPortData> data);
  // The body of a preview task: stores the preview value of `data` under
  // "/preview:{worker_id}", unless a chain was loaded or a newer preview of the worker began
  // since this one started (`generation` and `sequence` are what StartPreview drew).
  void StorePreview(const std::string& worker_id, const std::shared_ptr<IPortData>& data,
                    bool auto_contrast, std::uint64_t generation, std::uint64_t sequence);

  void CreateChain();
  // Copies the chain's id to where GetChainStatus reads it. Called by everything that changes
  // the id, while it holds the lock exclusively (or builds the project).
  void PublishChainId();
  // Reads `json` into `chain` through both execution stages and builds the configuration.
  // Runs under the exclusive lock with the state at kLoading.
  void LoadChainJson(const std::shared_ptr<IDataProcessChain>& chain, const std::string& json);
  // Empties the statistics (and their cache keys), the statuses and the cache.
  void ClearCaches();
  bool ReadChainFlag(const char* key) const;

  const std::string id_;
  const std::string plugin_session_key_;
  std::shared_ptr<IDataProcessChain> chain_;
  mutable RwLock lock_;
  std::shared_ptr<Property> chain_properties_;
  std::shared_ptr<ServiceCache> cache_;
  std::atomic<int> state_{static_cast<int>(ProjectState::kLoading)};
  // Set once by InterruptRuns; read by every run at its start and after each worker.
  std::atomic<bool> runs_interrupted_{false};
  // Cleared as each run is accepted, set by InterruptRun.
  RunInterruptRequest interrupt_request_;
  std::shared_ptr<RunActivity> run_activity_ = std::make_shared<RunActivity>();
  std::unique_ptr<ProjectOnChangeChainFlag> chain_listener_;
  std::unique_ptr<ProjectOnChangeWorkerFlag> worker_listener_;
  // Numbers the objects in the order they finish a run.
  std::atomic<std::int64_t> execution_order_{0};
  ShardedMap<std::shared_ptr<Statistic>> statistics_;
  // Counts RemoveStatistic calls, which need no project lock: run slots hold statistics.
  std::atomic<std::uint64_t> statistics_removed_{0};
  ShardedMap<std::shared_ptr<ObjectStatusData>> object_statuses_;
  // What runs look up per worker, made again after structural edits; busy-state thread only.
  std::unique_ptr<RunSlots> run_slots_;
  SimplePluginsManager* plugins_ = nullptr;
  // The chain's id as last published; readable without the project lock.
  mutable std::mutex chain_id_mutex_;
  std::string chain_id_;
  std::shared_ptr<ProjectConfiguration> configuration_;
  // Counts the chains loaded; a preview stores only while the chain it was made for is
  // loaded, so none lands in the next chain's cache. The last preview number drawn per
  // worker id; a preview stores only while its number is the newest. All under the mutex,
  // which is also held while a preview entry is stored.
  std::mutex preview_mutex_;
  std::uint64_t cache_generation_ = 0;
  std::unordered_map<std::string, std::uint64_t> preview_sequences_;
};

}  // namespace zelph
