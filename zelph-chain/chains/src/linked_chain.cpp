// linked_chain.cpp
//
// The linked chain's workers, links, properties, commands and strategy choice. Execution is in
// linked_chain_execution.cpp.
#include "zelph/chains/linked_chain.h"

#include <algorithm>
#include <sstream>
#include <variant>

#include "port_link_index.h"
#include "zelph/chainfiles/chain_writer.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model.h"
#include "zelph/model/data_process_model_base.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"
#include "zelph/model/property_keys.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph {

namespace {

constexpr char kStrategyKey[] = "execution.strategy";

bool PropertyFlag(const Property& properties, const char* key) {
  auto value = properties.GetValue(key);
  return value && PropertyValueToBool(*value);
}

}  // namespace

LinkedChain::LinkedChain()
    : port_link_index_(std::make_unique<chains::PortLinkIndex>()),
      config_(ZelphConfig::GetInstance()) {}

std::shared_ptr<IDataProcessChain> LinkedChain::Create() {
  std::shared_ptr<LinkedChain> chain(new LinkedChain());
  chain->SetExecutionStrategy(chain->config_->GetExecuteStrategyType(), false);
  return chain;
}

LinkedChain::~LinkedChain() {
  ZELPH_LOG(ZelphSeverityLevel::kDebug, "Chain dctor");
  Interrupt();
  ClearImp();
  strategy_.reset();
  SetCurrentWorker(nullptr);
}

bool LinkedChain::IsCollectStatistic() {
  return PropertyFlag(*GetProperties(), tmp::kCreateStatistic);
}

bool LinkedChain::IsCreatePreview() {
  return PropertyFlag(*GetProperties(), tmp::kCreateVisibleResult);
}

void LinkedChain::EnableAutoRun(bool on) {
  if (on == auto_run_) return;
  auto_run_ = on;
  SetChainCommand(ChainCommand::kNone);
}

Status LinkedChain::AddWorker(std::shared_ptr<IDataProcess> worker) {
  auto self = shared_from_this();
  worker->SetChain(self);
  worker->SetContextId(GetContextId());
  worker->SetContextName(GetName());
  worker->SetContextPath(GetContextPath());
  workers_.push_back(std::move(worker));
  return Status::kSuccess;
}

std::shared_ptr<IDataProcess> LinkedChain::CreateWorker(const std::string& worker_id,
                                                        const std::string& model_id) {
  // The one place where a chain makes workers from the registered models.
  auto model = SimplePluginsManager::GetInstance()->FindModel(ToLower(model_id));
  if (!model) return nullptr;
  return model->CreateAndInitializeWorker(model, worker_id, GetSessionId());
}

Status LinkedChain::AddLink(Link* link) {
  links_.emplace_back(link);
  link_index_.emplace(link->GetId(), link);
  port_link_index_->Add(*link);
  link->SetEndsObserver(port_link_index_.get());
  ++links_revision_;
  return Status::kSuccess;
}

Link* LinkedChain::CreateLink(std::shared_ptr<IDataProcess> source, Port* source_port,
                              std::shared_ptr<IDataProcess> destination, Port* destination_port) {
  auto* link = new Link(std::move(source), source_port, std::move(destination), destination_port);
  AddLink(link);
  return link;
}

Link* LinkedChain::FindLink(const std::string& id) {
  // Strategies look links up after every worker. The index answers at once; a link whose id
  // changed since it was added is still found by the scan.
  if (auto it = link_index_.find(id); it != link_index_.end() && it->second->GetId() == id) {
    return it->second;
  }
  for (const auto& link : links_) {
    if (link->GetId() == id) return link.get();
  }
  return nullptr;
}

std::vector<Link*> LinkedChain::GetLinks() {
  std::vector<Link*> links;
  links.reserve(links_.size());
  for (const auto& link : links_) links.push_back(link.get());
  return links;
}

std::vector<Link*> LinkedChain::FindLinksConnectedWithWorker(const boost::uuids::uuid& id) {
  std::vector<Link*> found;
  for (const auto& link : links_) {
    const auto source = link->GetSrcWorker();
    const auto destination = link->GetDstWorker();
    if ((source && source->GetUuid() == id) || (destination && destination->GetUuid() == id)) {
      found.push_back(link.get());
    }
  }
  return found;
}

bool LinkedChain::HasLinksConnectedWithPort(const std::string& port_id) {
  return port_link_index_->HasLinkEnd(port_id);
}

bool LinkedChain::HasLinksConnectedWithWorker(const boost::uuids::uuid& id) const {
  return std::any_of(links_.begin(), links_.end(), [&](const auto& link) {
    const auto source = link->GetSrcWorker();
    const auto destination = link->GetDstWorker();
    return (source && source->GetUuid() == id) || (destination && destination->GetUuid() == id);
  });
}

Status LinkedChain::RemoveLink(const std::string& id) {
  auto it = std::find_if(links_.begin(), links_.end(),
                         [&](const auto& link) { return link->GetId() == id; });
  if (it == links_.end()) return Status::kSuccess;
  ++links_revision_;
  // Unlinking reports the ends to the index; afterwards the link is no longer counted.
  (*it)->Unlink();
  (*it)->SetEndsObserver(nullptr);
  if (auto entry = link_index_.find(id); entry != link_index_.end() && entry->second == it->get()) {
    link_index_.erase(entry);
  }
  removed_links_.push_back(std::move(*it));
  links_.erase(it);
  // Another link of the same id, if any, is now the first one.
  for (const auto& link : links_) {
    if (link->GetId() == id) {
      link_index_.emplace(id, link.get());
      break;
    }
  }
  return Status::kSuccess;
}

Status LinkedChain::RemoveWorker(const boost::uuids::uuid& id) {
  auto it = std::find_if(workers_.begin(), workers_.end(),
                         [&](const auto& worker) { return worker->GetUuid() == id; });
  if (it != workers_.end()) workers_.erase(it);
  return Status::kSuccess;
}

Status LinkedChain::Clear() {
  ClearImp();
  return Status::kSuccess;
}

void LinkedChain::ClearImp() {
  ClearIdentity();
  workers_.clear();
  // Destroying a link releases its workers without unplugging its ports.
  link_index_.clear();
  port_link_index_->Clear();
  links_.clear();
  removed_links_.clear();
  ++links_revision_;
  ClearProperties();
}

std::shared_ptr<IDataProcess> LinkedChain::FindDataProcessByUuid(const boost::uuids::uuid& id) {
  for (const auto& worker : workers_) {
    if (worker->GetUuid() == id) return worker;
  }
  return nullptr;
}

std::shared_ptr<IDataProcess> LinkedChain::FindWorker(const std::string& id) {
  for (const auto& worker : workers_) {
    if (worker->GetSystemName() == id) return worker;
  }
  for (const auto& worker : workers_) {
    if (worker->GetId() == id) return worker;
  }
  return nullptr;
}

std::shared_ptr<IDataProcess> LinkedChain::FindFirstDataProcessBySystemName(OptionalFlag mask,
                                                                            const char* name) {
  const std::string wanted = name == nullptr ? std::string() : std::string(name);
  for (const auto& worker : workers_) {
    if (worker->GetFlag(mask) && worker->GetSystemName() == wanted) return worker;
  }
  return nullptr;
}

std::pair<std::shared_ptr<IDataProcess>, Port*> LinkedChain::FindPortById(const std::string& id) {
  for (const auto& worker : workers_) {
    if (Port* port = worker->FindPortById(id)) return {worker, port};
  }
  return {nullptr, nullptr};
}

bool LinkedChain::UpdateChangedProperty(const char* name, PropertyValue& value) {
  const std::string key = name == nullptr ? std::string() : std::string(name);
  if (key == tmp::kCommand) {
    ExecuteCommand(std::get<std::string>(value.value).c_str());
  } else if (key == kStrategyKey) {
    SetExecutionStrategy(ExecutionStrategyFromString(std::get<std::string>(value.value)), false);
  }
  return true;
}

void LinkedChain::UpdateChangedProperties() {
  // The bag holds its shared lock for the walk: nothing reached from here may store into it.
  GetProperties()->ForEachChanged([this](const std::string& key, PropertyValue& value) {
    return UpdateChangedProperty(key.c_str(), value);
  });
}

void LinkedChain::ExecuteCommand(const char* command) {
  const std::string text = command == nullptr ? std::string() : std::string(command);
  if (text == "play") {
    EnableAutoRun(true);
  } else if (text == "stop") {
    EnableAutoRun(false);
  } else if (text == "execute") {
    ExecuteOnce();
  } else if (text == "interrupt") {
    Interrupt();
  } else if (text == "step") {
    ExecuteStep();
  } else if (text == "reset_iterations") {
    ResetIterations();
  }
}

void LinkedChain::SetExecutionStrategy(ExecutionStrategyType type, bool save) {
  if (strategy_ && strategy_->GetType() == type) return;
  std::unique_ptr<ExecuteStrategy> strategy(CreateExecuteStrategy(type, shared_from_this()));
  SetExecutionStrategy(std::move(strategy), save);
}

void LinkedChain::SetExecutionStrategy(std::unique_ptr<ExecuteStrategy> strategy, bool save) {
  if (!strategy) return;
  strategy_ = std::move(strategy);
  if (save) GetProperties()->SetValue(kStrategyKey, strategy_->GetName());
  ZELPH_LOG(ZelphSeverityLevel::kInfo, "Used execution strategy: '{}'", strategy_->GetName());
}

std::string LinkedChain::SerializeAsJson() {
  // Built in a local stream and returned by value: concurrent readers share no buffer.
  std::ostringstream text;
  WriteChainAsJson(config_->GetChainWriterType(), shared_from_this(), text);
  return text.str();
}

}  // namespace zelph
