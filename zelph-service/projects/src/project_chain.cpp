// project_chain.cpp
//
// What the handlers and the run machinery see and change of a project's chain: the mirror
// of the chain's properties and how a changed one goes back to the chain, the chain text,
// iteration, lookups and edits of workers, links and ports, statistics removal and object
// statuses.
#include <boost/uuid/string_generator.hpp>

#include <initializer_list>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "run_slots.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/config/rapidjson.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/link.h"
#include "zelph/model/port.h"
#include "zelph/model/property.h"
#include "zelph/projects/project.h"

namespace zelph {
namespace {

constexpr char kExecutorKey[] = "chain.executor";
constexpr char kIdKey[] = "chain.id";
constexpr char kNameKey[] = "chain.name";
constexpr char kCategoryKey[] = "chain.category";
constexpr char kDescriptionKey[] = "chain.description";
constexpr char kStrategyKey[] = "chain.execution.strategy";

struct OptionKey {
  const char* key;
  chain::ExecutionOption option;
};

constexpr OptionKey kOptionKeys[] = {
    {"chain.execution.all", chain::ExecutionOption::kAll},
    {"chain.execution.multithreading", chain::ExecutionOption::kMultithreading},
    {"chain.execution.ignore.exception", chain::ExecutionOption::kIgnoreExceptions},
};

constexpr OptionKey kExecutorOptions[] = {
    {"all", chain::ExecutionOption::kAll},
    {"multithreading", chain::ExecutionOption::kMultithreading},
    {"ignore_exceptions", chain::ExecutionOption::kIgnoreExceptions},
};

// The value at `path` below `root`, each step an object member; null when a step is missing.
const rapidjson::Value* Find(const rapidjson::Value& root,
                             std::initializer_list<const char*> path) {
  const rapidjson::Value* value = &root;
  for (const char* name : path) {
    if (!value->IsObject()) return nullptr;
    auto member = value->FindMember(name);
    if (member == value->MemberEnd()) return nullptr;
    value = &member->value;
  }
  return value;
}

std::string StringAt(const rapidjson::Value& root, const char* name) {
  const rapidjson::Value* value = Find(root, {name});
  return value != nullptr && value->IsString()
             ? std::string(value->GetString(), value->GetStringLength())
             : std::string();
}

// The executor JSON: its uuid (when given) becomes the chain's id, its texts replace the
// chain's (absent ones empty them), its boolean options set the chain's.
void ApplyExecutorJson(IDataProcessChain& chain, const std::string& executor) {
  rapidjson::Document document;
  const rapidjson::ParseResult parsed =
      json::ParseJsonText(executor.data(), executor.size(), document);
  if (parsed.IsError()) {
    throw std::runtime_error(
        fmt::format("Chain options json parser error: {}", static_cast<int>(parsed.Code())));
  }
  if (const rapidjson::Value* uuid = Find(document, {"uuid"});
      uuid != nullptr && uuid->IsString()) {
    chain.SetId(std::string(uuid->GetString(), uuid->GetStringLength()));
  }
  chain.SetCategory(StringAt(document, "category"));
  chain.SetName(StringAt(document, "name"));
  chain.SetDescription(StringAt(document, "description"));
  for (const OptionKey& option : kExecutorOptions) {
    const rapidjson::Value* value = Find(document, {"options", "execution", option.key});
    if (value != nullptr && value->IsBool())
      chain.SetExecutionOption(option.option, value->GetBool());
  }
}

Port* FindOwnPort(const IDataProcess& worker, const std::string& port_id) {
  Port* port = worker.FindPortById(port_id);
  if (port == nullptr)
    throw std::runtime_error(fmt::format("Port not found port id: {}", QuoteClientText(port_id)));
  return port;
}

}  // namespace

void Project::SyncChainProperties() {
  Property& bag = *chain_properties_;
  bag.SetValue(kExecutorKey, chain_->GetExecutor());
  bag.SetValue(kIdKey, chain_->GetId());
  bag.SetValue(kNameKey, chain_->GetName());
  bag.SetValue(kCategoryKey, chain_->GetCategory());
  bag.SetValue(kDescriptionKey, chain_->GetDescription());
  bag.SetValue(kStrategyKey, ExecutionStrategyToString(chain_->GetExecutionStrategyType()));
}

void Project::ApplyChainProperty(const std::string& name) {
  // The chain keeps these fields without a lock of its own, and runs, serialisation and
  // reads use them under the shared lock.
  std::unique_lock lock(lock_);
  ApplyChainPropertyUnlocked(name);
}

void Project::EditChainProperty(const std::string& name,
                                const std::function<void(Property&)>& write) {
  std::unique_lock lock(lock_);
  write(*chain_properties_);
  ApplyChainPropertyUnlocked(name);
}

void Project::ApplyChainPropertyUnlocked(const std::string& name) {
  const std::optional<PropertyVariant> value = chain_properties_->GetValue(name);
  auto text = [&](const char* absent) {
    return value ? PropertyValueToString(*value) : std::string(absent);
  };
  IDataProcessChain& chain = *chain_;
  if (name == kExecutorKey) {
    const std::string executor = text("");
    chain.SetExecutor(executor);
    ApplyExecutorJson(chain, executor);
  } else if (name == kIdKey) {
    chain.SetId(text(""));
  } else if (name == kCategoryKey) {
    chain.SetCategory(text(""));
  } else if (name == kNameKey) {
    chain.SetName(text(""));
  } else if (name == kDescriptionKey) {
    chain.SetDescription(text(""));
  } else if (name == kStrategyKey) {
    chain.SetExecutionStrategy(ExecutionStrategyFromString(text("rgraph")), true);
  } else {
    for (const OptionKey& option : kOptionKeys) {
      if (name == option.key)
        chain.SetExecutionOption(option.option, value && PropertyValueToBool(*value));
    }
  }
  PublishChainId();
}

std::string Project::GetChainJson() const {
  std::shared_lock lock(lock_);
  return chain_->SerializeAsJson();
}

void Project::ForEachWorker(const std::function<void(std::shared_ptr<IDataProcess>)>& fn) const {
  for (std::shared_ptr<IDataProcess>& worker : chain_->GetWorkers()) {
    try {
      fn(std::move(worker));
    } catch (const std::exception& e) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "{}", e.what());
      return;
    }
  }
}

void Project::ForEachLink(const std::function<void(Link*)>& fn) const {
  for (Link* link : chain_->GetLinks()) {
    try {
      fn(link);
    } catch (...) {
      // A failed link must not keep the others from being visited.
    }
  }
}

std::shared_ptr<IDataProcess> Project::GetWorker(const std::string& id) const {
  std::shared_lock lock(lock_);
  return GetWorkerUnlocked(id);
}

std::shared_ptr<IDataProcess> Project::GetWorkerUnlocked(const std::string& id) const {
  std::shared_ptr<IDataProcess> worker = chain_->FindWorker(id);
  if (!worker)
    throw std::runtime_error(fmt::format("Executor not found with id: {}", QuoteClientText(id)));
  return worker;
}

bool Project::HasWorker(const std::string& id) const {
  try {
    return GetWorker(id) != nullptr;
  } catch (...) {
    return false;
  }
}

bool Project::HasWorkerProperty(const std::string& worker_id, const std::string& name) const {
  try {
    return GetWorker(worker_id)->GetProperties()->HasValue(name);
  } catch (...) {
    return false;
  }
}

bool Project::HasWorkerSystemProperty(const std::string& worker_id, const std::string& name) const {
  try {
    return GetWorker(worker_id)->GetSystemProperties()->HasValue(name);
  } catch (...) {
    return false;
  }
}

Link* Project::GetLink(const std::string& id) const {
  std::shared_lock lock(lock_);
  Link* link = chain_->FindLink(id);
  if (link == nullptr)
    throw std::runtime_error(fmt::format("Link not found, link id: {}", QuoteClientText(id)));
  return link;
}

bool Project::HasLink(const std::string& id) const {
  try {
    return GetLink(id) != nullptr;
  } catch (...) {
    return false;
  }
}

Port* Project::GetPort(const std::string& id) const {
  std::shared_lock lock(lock_);
  Port* port = chain_->FindPortById(id).second;
  if (port == nullptr)
    throw std::runtime_error(fmt::format("Port not found port id: {}", QuoteClientText(id)));
  return port;
}

std::string Project::CreateLink(const std::string& source_worker_id,
                                const std::string& source_port_id,
                                const std::string& destination_worker_id,
                                const std::string& destination_port_id) {
  // One hold for lookups and link: a worker removed in between would leave a dangling port.
  std::unique_lock lock(lock_);
  std::shared_ptr<IDataProcess> source = GetWorkerUnlocked(source_worker_id);
  Port* source_port = FindOwnPort(*source, source_port_id);
  std::shared_ptr<IDataProcess> destination = GetWorkerUnlocked(destination_worker_id);
  Port* destination_port = FindOwnPort(*destination, destination_port_id);
  Link* link = chain_->CreateLink(source, source_port, destination, destination_port);
  if (link == nullptr) {
    throw std::runtime_error(
        fmt::format("Failed create link between src port = {} and dst port = {}",
                    QuoteClientText(source_port_id), QuoteClientText(destination_port_id)));
  }
  return link->GetId();
}

void Project::UpdateLink(const std::string& link_id, const std::string& source_port_id,
                         const std::string& destination_port_id) {
  std::unique_lock lock(lock_);
  Link* link = chain_->FindLink(link_id);
  if (link == nullptr) {
    throw std::runtime_error(fmt::format("Link not found, link id: {}", QuoteClientText(link_id)));
  }
  // Both ends are resolved before either changes, so a failure leaves the link as it was.
  auto resolve = [&](const std::string& port_id) {
    std::pair<std::shared_ptr<IDataProcess>, Port*> owner;
    if (port_id.empty()) return owner;
    owner = chain_->FindPortById(port_id);
    if (owner.second == nullptr) {
      throw std::runtime_error(fmt::format("Port not found port id: {}", QuoteClientText(port_id)));
    }
    return owner;
  };
  auto source = resolve(source_port_id);
  auto destination = resolve(destination_port_id);
  // Plug attaches the end that the port's type selects, whichever id named it; an empty id
  // detaches the end as it is at that moment.
  if (source.second != nullptr) {
    link->Plug(source.first, source.second);
  } else if (Port* port = link->GetSrcPort(); port != nullptr) {
    link->Unplug(port);
  }
  if (destination.second != nullptr) {
    link->Plug(destination.first, destination.second);
  } else if (Port* port = link->GetDestPort(); port != nullptr) {
    link->Unplug(port);
  }
}

void Project::RemoveWorker(const std::string& worker_id,
                           const std::function<void(std::string)>& removed) {
  std::unique_lock lock(lock_);
  RemoveWorkerHeld(worker_id, removed);
}

std::vector<std::string> Project::LinkIdsOfWorker(const std::string& worker_id) const {
  std::vector<std::string> ids;
  for (const Link* link :
       chain_->FindLinksConnectedWithWorker(boost::uuids::string_generator()(worker_id))) {
    ids.push_back(link->GetId());
  }
  return ids;
}

void Project::RemoveWorkerHeld(const std::string& worker_id,
                               const std::function<void(std::string)>& removed) {
  const boost::uuids::uuid uuid = boost::uuids::string_generator()(worker_id);
  for (Link* link : chain_->FindLinksConnectedWithWorker(uuid)) {
    std::string link_id = link->GetId();
    if (chain_->RemoveLink(link_id) == Status::kSuccess) removed("/link:" + link_id);
  }
  if (chain_->RemoveWorker(uuid) == Status::kSuccess) removed("/worker:" + worker_id);
  RemoveStatistic(worker_id);
}

bool Project::RemoveStatistic(const std::string& object_id) {
  cache_->Erase("/statistic:" + object_id);
  const bool removed = statistics_.Erase(object_id);
  if (removed) ++statistics_removed_;
  return removed;
}

void Project::SetWorkerStatus(IDataProcess& worker, WorkerRunSlot& slot, int status,
                              std::chrono::steady_clock::time_point time) {
  if (!slot.status) {
    SetObjectStatus(worker.GetId(), status);
    slot.status = object_statuses_.Find(worker.GetId()).value_or(nullptr);
    return;
  }
  // In place, time first, as SetObjectStatus does.
  slot.status->time = ObjectStatusData::At(time);
  slot.status->status = status;
}

void Project::SetObjectStatus(const std::string& object_id, int status) {
  // Readers may hold the object: it is updated in place.
  if (std::optional<std::shared_ptr<ObjectStatusData>> found = object_statuses_.Find(object_id);
      found && *found) {
    (*found)->Set(status, ObjectStatusData::Now());
    return;
  }
  auto data = std::make_shared<ObjectStatusData>();
  data->Set(status, ObjectStatusData::Now());
  object_statuses_.Set(object_id, std::move(data));
}

void Project::PublishChainId() {
  std::lock_guard lock(chain_id_mutex_);
  chain_id_ = chain_->GetId();
}

std::shared_ptr<ObjectStatusData> Project::GetChainStatus() const {
  std::string chain_id;
  {
    std::lock_guard lock(chain_id_mutex_);
    chain_id = chain_id_;
  }
  return object_statuses_.Find(chain_id).value_or(nullptr);
}

}  // namespace zelph
