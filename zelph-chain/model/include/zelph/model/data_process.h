// data_process.h
//
// IDataProcess, the base class of every worker of a chain. A plug-in derives its worker from
// it and implements the pure operations; the base holds what every worker has: its id and
// session, its model (which gives its description), its ports, its user and system property
// bags, a word of flags that the host watches through a listener, and the errors recorded by
// its last runs. Execute is the one entry through which chains run a worker:
//
//   auto worker = model->CreateAndInitializeWorker(model, "session");
//   worker->SetFlagListener(&listener);      // sees (0, 2) before and (2, 0) after the work
//   worker->Execute(zelph::ExecutionStage::kRunTime);
//   if (worker->HasLastError()) { ... }      // failures are recorded, not thrown
//
// Ownership: workers are always owned by a std::shared_ptr (the listener gets one). A worker
// owns its ports and its two property bags; it never holds a null bag.
//
// Threading: the flags word is atomic, so IsFlag may be asked from any thread while the
// worker runs; the listener runs on the thread that changes a flag. The reset flag is
// atomic too: a client's reset of iterations marks the workers while a run reads and
// clears the marks. The error record locks
// itself: previews, status reads and statistics read it on other threads while the run
// thread records and resets errors. Ports, bindings and the model take no lock: only the
// thread that builds or runs the worker changes them. The property bags lock themselves.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "zelph/chain/export.h"
#include "zelph/model/base_control.h"
#include "zelph/model/execution_stage.h"
#include "zelph/model/model_structure.h"
#include "zelph/model/port.h"
#include "zelph/model/port_data.h"
#include "zelph/model/property.h"
#include "zelph/model/property_binding.h"

class IDataProcess;
class IDataProcessChain;
class IDataProcessModel;

namespace zelph::worker {

// Bit indexes into a worker's flags word (bit value 1 << flag).
enum Flag : int {
  kExecuting = 1,  // set while Execute runs the worker: bit value 2
};

// Implemented by the host to follow workers' flag changes.
class ZELPH_CHAIN_API ChangeFlagListener {
 public:
  virtual ~ChangeFlagListener() = default;
  // Called on the thread that changed the flag, before it goes on. An exception thrown here
  // reaches the caller of Execute (the flag is cleared first).
  virtual void OnChangeFlag(std::shared_ptr<IDataProcess> worker, int old_flags, int new_flags) = 0;
};

}  // namespace zelph::worker

// The kind of a recorded failure; GetLastError reports them in this order.
enum class ErrorKind : int {
  kExecution = 1,
  kInitialization = 2,
  kUpdateProperty = 3,
};

// "execution", "initialization", "update_property"; "unknown" for any other value.
ZELPH_CHAIN_API const char* ErrorKindToString(ErrorKind kind);

// What a worker reports about its run; the service passes the six texts to its clients.
struct ExecutionStatus {
  std::string full;
  std::string information;
  std::string messages;
  std::string comments;
  std::string json;
  std::string custom_json;
};

class ZELPH_CHAIN_API IDataProcess : public std::enable_shared_from_this<IDataProcess> {
 protected:
  // The worker's own work; called only by Execute. Failures should be recorded with
  // SetError; an exception still passes through Execute.
  virtual void ExecuteImpl(zelph::ExecutionStage stage) = 0;

 public:
  virtual ~IDataProcess();

  // Prepares the implementation once the model is set.
  virtual void Initialize() = 0;

  // The first recorded message in kind order (execution, initialization, update_property).
  virtual std::string GetLastError();
  virtual bool HasLastError();
  virtual bool HasError(ErrorKind kind);
  // Records a non-empty message for the kind (an empty one keeps the earlier message);
  // the stack trace and class name are replaced in every case. Logs at error level.
  virtual void SetError(const ErrorKind& kind, const std::string& message,
                        const std::string& stack_trace, const std::string& error_class_name);
  virtual std::string GetError(const ErrorKind& kind);
  // Forgets the kind's message, the stack trace and the class name.
  virtual void ResetError(const ErrorKind& kind);

  virtual std::shared_ptr<IPortData> CreatePreview();
  virtual IDataProcessModel* GetDataProcessModel() const;
  // The model's description; an empty one while the worker has no model.
  virtual const zelph::BaseModelStructure& GetStructure() const;
  // Takes the bag over; a null bag installs an empty one.
  virtual void SetProperties(std::unique_ptr<Property> properties);
  // Hands a changed value to its binding, if any. Always true. Not for two threads at once.
  virtual bool UpdateChangedProperty(const char* name, PropertyValue& value);
  virtual void ApplyProperties() = 0;
  virtual void SetChain(std::shared_ptr<IDataProcessChain> chain) = 0;
  // Asked after every execution: whether the chain should run this worker again.
  virtual bool NeedToRepeat() = 0;
  virtual bool Reset() = 0;
  virtual bool GetResetFlag();
  virtual void SetResetFlag(bool reset);
  // -1 (no opinion) here; 0 makes the link into `port` skip its transmission, 1 wants it.
  virtual int CheckInputNecessary(zelph::Port* port);
  // The system bag's "name", else the user bag's "$__system.name".
  virtual std::string GetSystemName();
  // New ports the caller owns (AddPort takes them over).
  virtual zelph::Port* CreatePort(zelph::BaseControl control, zelph::PortType type);
  virtual zelph::Port* CreatePort(zelph::Port* port);
  // The description's ports, then an input_control and an output_control port per control.
  virtual void InitializeDefaultPorts();
  virtual void InitializeParameters() = 0;
  virtual std::string GetVisibleResultsInformation() = 0;
  // Asks a running worker to stop early; may be called from another thread.
  virtual void Interrupt() = 0;
  virtual void SetContextId(long long id);
  virtual void SetContextName(const std::string& name);
  virtual void SetContextPath(const std::string& path);
  virtual void SetCurrentDir(const std::string& folder);
  virtual std::string GetCurrentDir() const;
  virtual void SetVisibleResultNecessary(bool necessary);
  virtual void SetAllOutputsNecessary(bool necessary);
  virtual zelph::ExecutionStage GetExecutionStage();
  virtual ExecutionStatus GetExecutionStatus();

  // Runs the worker: raises the executing flag (listener sees it), calls ExecuteImpl, drops
  // the flag (listener sees it). An exception from ExecuteImpl or from the listener reaches
  // the caller, always with the flag cleared; when both throw, the listener's exception is
  // logged and ExecuteImpl's passes on. Throws std::bad_weak_ptr when a listener is
  // installed on a worker that no shared pointer owns.
  void Execute(zelph::ExecutionStage stage);

  // Null removes the listener; the caller keeps ownership and keeps it alive while set.
  void SetFlagListener(zelph::worker::ChangeFlagListener* listener) { listener_ = listener; }
  bool IsFlag(zelph::worker::Flag flag) const;

  // Valid until the next SetId or SetUuid.
  const std::string& GetId() const { return id_; }
  void SetId(const std::string& id);
  // Throws std::runtime_error "invalid uuid string" when the id is not a uuid. Strategies
  // ask it for every worker of every run, so the id is parsed once, when it is set.
  boost::uuids::uuid GetUuid() const;
  void SetUuid(const boost::uuids::uuid& uuid);
  // The description's name.
  std::string GetName() const;
  // "Worker: '{name}', id: {id}"
  std::string ToString() const;
  std::string GetSessionId() const { return session_id_; }
  void SetSessionId(const std::string& session_id) { session_id_ = session_id; }
  std::shared_ptr<IDataProcessModel> GetModel() const { return model_; }
  void SetDataProcessModel(std::shared_ptr<IDataProcessModel> model);
  // Whether the description's option bits share a bit with `bits`.
  bool GetFlag(zelph::OptionalFlag bits) const;
  // A main setting worker (main and settings role) of the chain with that context id.
  bool IsMainSetting(long long context_id) const;
  std::string GetStackTrace() const;
  std::string GetErrorClassName() const;

  const std::vector<zelph::Port*>& GetPorts() const { return ports_.GetPorts(); }
  std::vector<zelph::Port*> FindPorts(zelph::PortType type) const;
  zelph::Port* FindPortById(const std::string& id) const;
  zelph::Port* FindPortById(zelph::PortType type, const std::string& id) const;
  zelph::Port* FindPortByIdx(zelph::PortType type, size_t index) const;
  zelph::Port* FindPortByName(zelph::PortType type, const std::string& name,
                              bool with_aliases) const;
  size_t GetPortCount(zelph::PortType type) const;
  // Gives the port its id (from the worker's uuid) and takes ownership of it. Throws
  // std::runtime_error "invalid uuid string" (the port is then freed) when the worker's id
  // is not a uuid.
  void AddPort(zelph::Port* port);
  // Drops the data pointer of every port of that type; the data objects stay intact for
  // whoever else shares them.
  void CleanUpPorts(zelph::PortType type);

  // The bags are owned by the worker and never null.
  Property* GetProperties() const { return properties_.get(); }
  Property* GetSystemProperties() const { return system_properties_.get(); }
  // Typed reads of the user bag; the default when the key is absent.
  int GetPropertyInt32(const std::string& key, int fallback) const;
  long long GetPropertyInt64(const std::string& key, long long fallback) const;
  double GetPropertyDouble(const std::string& key, double fallback) const;
  std::string GetPropertyString(const std::string& key, std::string fallback) const;
  bool GetPropertyBool(const std::string& key, bool fallback) const;
  // The system bag's "enabled", else the user bag's "$__system.enabled", else true.
  bool IsEnabled() const;

  // Stores the value in the user bag, converted to the value type of the control of that
  // name (as is when no control has the name). Needs a model.
  void SetPropertyValue(const std::string& name, const bool& value);
  void SetPropertyValue(const std::string& name, const int& value);
  void SetPropertyValue(const std::string& name, const long long& value);
  void SetPropertyValue(const std::string& name, const double& value);
  void SetPropertyValue(const std::string& name, const std::string& value);
  // Keeps a text literal from choosing the bool overload.
  void SetPropertyValue(const std::string& name, const char* value);

 protected:
  IDataProcess();
  explicit IDataProcess(const std::string& id);
  explicit IDataProcess(const boost::uuids::uuid& id);
  IDataProcess(const IDataProcess&) = delete;
  IDataProcess& operator=(const IDataProcess&) = delete;

  // Registers a binding through which UpdateChangedProperty hands a value of `name` to the
  // implementation: the converted value is written to *target (owned by the implementation,
  // alive as long as the worker) and then passed to `on_change` when it is set.
  template <typename T>
  void BindProperty(const std::string& name, T* target,
                    std::function<void(const T&)> on_change = {}) {
    bindings_[name] = zelph::PropertyBinding(target, std::move(on_change));
  }

  // A place for the implementation's last NeedToRepeat answer.
  bool repeat_request_ = false;

 private:
  int SetFlag(zelph::worker::Flag flag);
  int ClearFlag(zelph::worker::Flag flag);
  // Clears the flag while an exception is on its way out: a listener failure is logged,
  // never thrown over the exception already in flight.
  void ClearFlagQuietly(zelph::worker::Flag flag) noexcept;
  void InvokeFlagListener(int old_flags, int new_flags);
  void StoreProperty(const std::string& name, PropertyVariant value);

  // Parses the id into uuid_ (uuid_valid_ false when it is not a uuid).
  void AssignId(std::string id);

  // What every run of a chain reads or writes comes first, so that a run over a long chain
  // touches few cache lines per worker; the rest follows.
  std::atomic<int> flags_{0};
  bool uuid_valid_ = false;
  std::atomic<bool> reset_flag_{true};
  // False while errors_, stack_trace_ and error_class_name_ are all empty, so that a run
  // of a worker that never failed reads neither them nor their mutex.
  std::atomic<bool> error_recorded_{false};
  boost::uuids::uuid uuid_{};
  zelph::worker::ChangeFlagListener* listener_ = nullptr;
  zelph::PortHolder ports_;
  std::unique_ptr<Property> properties_;
  std::unique_ptr<Property> system_properties_;
  std::shared_ptr<IDataProcessModel> model_;
  // Guards errors_, stack_trace_ and error_class_name_, and changes of error_recorded_.
  mutable std::mutex error_mutex_;
  std::map<ErrorKind, std::string> errors_;
  std::string stack_trace_;
  std::string error_class_name_;
  // Owns what ports_ lists.
  std::vector<std::unique_ptr<zelph::Port>> owned_ports_;
  std::string session_id_;
  std::string id_;
  std::map<std::string, zelph::PropertyBinding> bindings_;
};
