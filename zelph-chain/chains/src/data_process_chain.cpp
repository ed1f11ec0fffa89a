// data_process_chain.cpp
//
// The parts of a chain that every implementation shares: identity, flags, options, context.
#include "zelph/chains/data_process_chain.h"

#include <fmt/format.h>
#include <boost/uuid/uuid_io.hpp>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/property_keys.h"
#include "zelph/model/uuid.h"

namespace {

int FlagMask(zelph::chain::Flag flag) { return 1 << (static_cast<int>(flag) % 32); }

}  // namespace

IDataProcessChain::IDataProcessChain() : properties_(std::make_unique<Property>()) {
  SetId(zelph::NewUuidText());
}

IDataProcessChain::~IDataProcessChain() = default;

bool IDataProcessChain::IsFlag(zelph::chain::Flag flag) const {
  return (flags_.load() & FlagMask(flag)) != 0;
}

int IDataProcessChain::SetFlag(zelph::chain::Flag flag) {
  const int old_flags = flags_.fetch_or(FlagMask(flag));
  InvokeFlagListener(old_flags, flags_.load());
  return old_flags;
}

int IDataProcessChain::ClearFlag(zelph::chain::Flag flag) {
  const int old_flags = flags_.fetch_and(~FlagMask(flag));
  InvokeFlagListener(old_flags, flags_.load());
  return old_flags;
}

void IDataProcessChain::InvokeFlagListener(int old_flags, int new_flags) {
  if (flag_listener_ == nullptr) return;
  // shared_from_this throws std::bad_weak_ptr on a chain no shared pointer owns.
  flag_listener_->OnChangeFlag(shared_from_this(), old_flags, new_flags);
}

std::string IDataProcessChain::ToString() const {
  return fmt::format("Chain id: {}", zelph::QuoteClientText(id_));
}

void IDataProcessChain::SetId(const std::string& id) {
  id_ = id;
  if (properties_) properties_->SetValue(zelph::tmp::kUuid, id);
}

void IDataProcessChain::SetUuid(const boost::uuids::uuid& id) {
  SetId(boost::uuids::to_string(id));
}

void IDataProcessChain::SetSessionId(const std::string& session_id) {
  session_id_ = session_id;
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Chain session id: {}",
            zelph::QuoteClientText(session_id_));
}

void IDataProcessChain::SetContextPath(const std::string& path) const {
  properties_->SetValue(zelph::sys::kContextPath, path);
}

std::string IDataProcessChain::GetContextPath() const {
  return properties_->GetValueAsString(zelph::sys::kContextPath, "");
}

void IDataProcessChain::SetCurrentDir(const std::string& folder) const {
  properties_->SetValue(zelph::sys::kCurrentWorkingFolder, folder);
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Set current dir: '{}'", zelph::QuoteClientText(folder));
}

std::string IDataProcessChain::GetCurrentDir() const {
  return properties_->GetValueAsString(zelph::sys::kCurrentWorkingFolder, "");
}

void IDataProcessChain::SetExecutionOption(zelph::chain::ExecutionOption option) {
  execution_options_.insert(option);
}

void IDataProcessChain::SetExecutionOption(zelph::chain::ExecutionOption option, bool on) {
  if (on) {
    execution_options_.insert(option);
  } else {
    execution_options_.erase(option);
  }
}

void IDataProcessChain::ResetExecutionOption(zelph::chain::ExecutionOption option) {
  execution_options_.erase(option);
}

bool IDataProcessChain::GetExecutionOption(zelph::chain::ExecutionOption option) const {
  if (option == zelph::chain::ExecutionOption::kIgnoreExceptions) {
    switch (static_cast<int>(ZelphConfig::GetInstance()->GetExceptionAction())) {
      case 0:  // inhert: the chain's own set decides
        break;
      case 1:  // interrupt
        return false;
      case 2:  // ignore
        return true;
      default:
        ZELPH_LOG(ZelphSeverityLevel::kWarning, "Unsupported zelph configuration exception action");
        break;
    }
  }
  return execution_options_.count(option) != 0;
}

std::shared_ptr<IDataProcess> IDataProcessChain::FindMainSettingWorker() const {
  for (const auto& worker : GetWorkers()) {
    if (worker->IsMainSetting(context_id_)) return worker;
  }
  return {};
}

void IDataProcessChain::ClearIdentity() {
  id_.clear();
  name_.clear();
  description_.clear();
  category_.clear();
  context_id_ = 0;
}

void IDataProcessChain::ClearProperties() {
  // Move-assigning an empty bag drops every entry under the bag's exclusive lock.
  *properties_ = Property();
}
