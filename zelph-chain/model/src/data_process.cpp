// data_process.cpp
//
// The worker base: identity, the flags word and its listener, Execute, errors, ports and
// model access. Properties are in data_process_properties.cpp.
#include "zelph/model/data_process.h"

#include <boost/uuid/string_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <exception>
#include <stdexcept>
#include <utility>

#include "zelph/config/config_log.h"
#include "zelph/logger/client_text.h"
#include "zelph/model/data_process_model.h"
#include "zelph/model/transmitter.h"

using zelph::worker::Flag;

namespace {

constexpr int FlagBit(Flag flag) { return 1 << static_cast<int>(flag); }

std::unique_ptr<Property> NewSystemProperties() {
  auto properties = std::make_unique<Property>();
  properties->SetValue("enabled", true);
  properties->SetValue("name", std::string());
  return properties;
}

}  // namespace

const char* ErrorKindToString(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kExecution:
      return "execution";
    case ErrorKind::kInitialization:
      return "initialization";
    case ErrorKind::kUpdateProperty:
      return "update_property";
  }
  return "unknown";
}

IDataProcess::IDataProcess()
    : properties_(std::make_unique<Property>()), system_properties_(NewSystemProperties()) {}

IDataProcess::IDataProcess(const std::string& id) : IDataProcess() { AssignId(id); }

IDataProcess::IDataProcess(const boost::uuids::uuid& id) : IDataProcess() { SetUuid(id); }

IDataProcess::~IDataProcess() = default;

void IDataProcess::Execute(zelph::ExecutionStage stage) {
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kDebug, "Execute worker: {}", ToString());
  try {
    SetFlag(Flag::kExecuting);
    ExecuteImpl(stage);
  } catch (...) {
    ClearFlagQuietly(Flag::kExecuting);
    throw;
  }
  // Outside any destructor, so a throwing listener reaches the caller.
  ClearFlag(Flag::kExecuting);
}

bool IDataProcess::IsFlag(Flag flag) const { return (flags_.load() & FlagBit(flag)) != 0; }

int IDataProcess::SetFlag(Flag flag) {
  int old_flags = flags_.load();
  while (!flags_.compare_exchange_weak(old_flags, old_flags | FlagBit(flag))) {
  }
  InvokeFlagListener(old_flags, flags_.load());
  return old_flags;
}

int IDataProcess::ClearFlag(Flag flag) {
  int old_flags = flags_.load();
  while (!flags_.compare_exchange_weak(old_flags, old_flags & ~FlagBit(flag))) {
  }
  InvokeFlagListener(old_flags, flags_.load());
  return old_flags;
}

void IDataProcess::ClearFlagQuietly(Flag flag) noexcept {
  try {
    ClearFlag(flag);
  } catch (const std::exception& e) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "Flag listener failed after {} failed: {}",
                     ToString(), e.what());
  } catch (...) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "Flag listener failed after {} failed",
                     ToString());
  }
}

void IDataProcess::InvokeFlagListener(int old_flags, int new_flags) {
  if (listener_ == nullptr) return;
  listener_->OnChangeFlag(shared_from_this(), old_flags, new_flags);
}

std::string IDataProcess::GetLastError() {
  if (!error_recorded_.load(std::memory_order_acquire)) return {};
  std::lock_guard lock(error_mutex_);
  for (const auto& [kind, message] : errors_) {
    if (!message.empty()) return message;
  }
  return {};
}

bool IDataProcess::HasLastError() { return !GetLastError().empty(); }

bool IDataProcess::HasError(ErrorKind kind) { return !GetError(kind).empty(); }

void IDataProcess::SetError(const ErrorKind& kind, const std::string& message,
                            const std::string& stack_trace, const std::string& error_class_name) {
  {
    std::lock_guard lock(error_mutex_);
    if (!message.empty()) errors_[kind] = message;
    stack_trace_ = stack_trace;
    error_class_name_ = error_class_name;
    error_recorded_.store(true, std::memory_order_release);
  }
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "Class: {} Error kind: '{}' {}, error:\n{}",
                   error_class_name, ErrorKindToString(kind), ToString(),
                   stack_trace.empty() ? message : stack_trace);
}

std::string IDataProcess::GetError(const ErrorKind& kind) {
  if (!error_recorded_.load(std::memory_order_acquire)) return {};
  std::lock_guard lock(error_mutex_);
  auto it = errors_.find(kind);
  return it == errors_.end() ? std::string() : it->second;
}

void IDataProcess::ResetError(const ErrorKind& kind) {
  if (!error_recorded_.load(std::memory_order_acquire)) return;
  std::lock_guard lock(error_mutex_);
  errors_.erase(kind);
  stack_trace_.clear();
  error_class_name_.clear();
  error_recorded_.store(!errors_.empty(), std::memory_order_release);
}

std::string IDataProcess::GetStackTrace() const {
  if (!error_recorded_.load(std::memory_order_acquire)) return {};
  std::lock_guard lock(error_mutex_);
  return stack_trace_;
}

std::string IDataProcess::GetErrorClassName() const {
  if (!error_recorded_.load(std::memory_order_acquire)) return {};
  std::lock_guard lock(error_mutex_);
  return error_class_name_;
}

std::shared_ptr<IPortData> IDataProcess::CreatePreview() { return nullptr; }

IDataProcessModel* IDataProcess::GetDataProcessModel() const { return model_.get(); }

const zelph::BaseModelStructure& IDataProcess::GetStructure() const {
  // Every worker of the system gets its model before use; one that has none reads as an
  // empty description instead of crashing.
  static const auto* const kNoDescription = new zelph::BaseModelStructure();
  return model_ ? model_->GetStructure() : *kNoDescription;
}

bool IDataProcess::GetResetFlag() { return reset_flag_.load(); }

void IDataProcess::SetResetFlag(bool reset) { reset_flag_.store(reset); }

int IDataProcess::CheckInputNecessary(zelph::Port*) { return -1; }

zelph::Port* IDataProcess::CreatePort(zelph::BaseControl control, zelph::PortType type) {
  return PortModelFactory::Create(control, type);
}

zelph::Port* IDataProcess::CreatePort(zelph::Port* port) { return new zelph::Port(*port); }

void IDataProcess::InitializeDefaultPorts() {
  const zelph::BaseModelStructure& structure = GetStructure();
  for (zelph::Port* port : structure.GetPorts()) AddPort(CreatePort(port));
  for (const zelph::BaseControl& control : structure.GetControls()) {
    AddPort(CreatePort(control, zelph::PortType::input_control));
    AddPort(CreatePort(control, zelph::PortType::output_control));
  }
}

void IDataProcess::SetContextId(long long) {}
void IDataProcess::SetContextName(const std::string&) {}
void IDataProcess::SetContextPath(const std::string&) {}
void IDataProcess::SetVisibleResultNecessary(bool) {}
void IDataProcess::SetAllOutputsNecessary(bool) {}

zelph::ExecutionStage IDataProcess::GetExecutionStage() {
  return GetStructure().GetExecutionStage();
}

ExecutionStatus IDataProcess::GetExecutionStatus() { return {}; }

void IDataProcess::AssignId(std::string id) {
  id_ = std::move(id);
  try {
    uuid_ = boost::uuids::string_generator()(id_);
    uuid_valid_ = true;
  } catch (const std::runtime_error&) {
    uuid_valid_ = false;
  }
}

void IDataProcess::SetId(const std::string& id) { AssignId(id); }

boost::uuids::uuid IDataProcess::GetUuid() const {
  // Parsing again throws the parser's own error for an id that is not a uuid.
  return uuid_valid_ ? uuid_ : boost::uuids::string_generator()(id_);
}

void IDataProcess::SetUuid(const boost::uuids::uuid& uuid) {
  id_ = boost::uuids::to_string(uuid);
  uuid_ = uuid;
  uuid_valid_ = true;
}

std::string IDataProcess::GetName() const { return GetStructure().GetName(); }

std::string IDataProcess::ToString() const {
  return fmt::format("Worker: '{}', id: {}", zelph::QuoteClientText(GetName()),
                     zelph::QuoteClientText(id_));
}

void IDataProcess::SetDataProcessModel(std::shared_ptr<IDataProcessModel> model) {
  model_ = std::move(model);
}

bool IDataProcess::GetFlag(zelph::OptionalFlag bits) const {
  return GetStructure().GetOptionalFlag(bits);
}

bool IDataProcess::IsMainSetting(long long context_id) const {
  const zelph::BaseModelStructure& structure = GetStructure();
  const std::uint32_t main_setting = zelph::kMainRole | zelph::kSettingsRole;
  if ((structure.GetOptionalFlags() & main_setting) != main_setting) return false;
  return structure.GetOwnerContextId() == std::to_string(context_id);
}

std::vector<zelph::Port*> IDataProcess::FindPorts(zelph::PortType type) const {
  return ports_.FindPorts(type);
}

zelph::Port* IDataProcess::FindPortById(const std::string& id) const {
  return ports_.FindPortById(id);
}

zelph::Port* IDataProcess::FindPortById(zelph::PortType type, const std::string& id) const {
  return ports_.FindPortById(type, id);
}

zelph::Port* IDataProcess::FindPortByIdx(zelph::PortType type, size_t index) const {
  return ports_.FindPortByIdx(type, index);
}

zelph::Port* IDataProcess::FindPortByName(zelph::PortType type, const std::string& name,
                                          bool with_aliases) const {
  return ports_.FindPortByName(type, name, with_aliases);
}

size_t IDataProcess::GetPortCount(zelph::PortType type) const { return ports_.GetPortCount(type); }

void IDataProcess::AddPort(zelph::Port* port) {
  if (port == nullptr) return;
  std::unique_ptr<zelph::Port> owned(port);
  owned_ports_.reserve(owned_ports_.size() + 1);
  port->GenerateId(GetUuid());
  ports_.AddPort(port);
  owned_ports_.push_back(std::move(owned));  // cannot throw after the reserve
}

void IDataProcess::CleanUpPorts(zelph::PortType type) {
  for (zelph::Port* port : ports_.GetPorts()) {
    if (port->GetType() == type) port->ResetData();
  }
}
