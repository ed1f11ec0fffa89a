// chain_builder.cpp
//
// Building a live chain from chain data, and the read-and-build entry points.
#include "zelph/chainfiles/chain_builder.h"

#include <fmt/ranges.h>
#include <boost/functional/hash.hpp>
#include <boost/uuid/string_generator.hpp>

#include <list>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zelph/chainfiles/chain_document_reader.h"
#include "zelph/chainfiles/chain_stream_reader.h"
#include "zelph/chains/data_process_chain.h"
#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_model_base.h"
#include "zelph/model/link.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::parse {
namespace {

constexpr std::string_view kSystemPrefix = "$__system.";

struct PortOwner {
  std::shared_ptr<IDataProcess> worker;
  Port* port = nullptr;
};

// Ports whose id an earlier port of the chain already has. A chain whose worker ids share
// their first eight hex digits repeats the id of every port, so one load reports them in one
// line: the first pair in full, then the count and the first few ids.
class DuplicatePortIds {
 public:
  void Add(const PortOwner& first, const PortOwner& again) {
    if (count_++ == 0) {
      first_pair_ = fmt::format("{}: port '{}' of {} and port '{}' of {}",
                                QuoteClientText(again.port->GetId()),
                                QuoteClientText(first.port->GetName()), first.worker->ToString(),
                                QuoteClientText(again.port->GetName()), again.worker->ToString());
    }
    if (ids_.size() < kShownIds) ids_.push_back(QuoteClientText(again.port->GetId()));
  }

  void Log() const {
    if (count_ == 0) return;
    if (count_ == 1) {
      ZELPH_LOG(ZelphSeverityLevel::kWarning, "Duplicate port id {}", first_pair_);
    } else {
      ZELPH_LOG(ZelphSeverityLevel::kWarning,
                "Duplicate port id {}; {} duplicate port ids, first: {}", first_pair_, count_,
                fmt::join(ids_, ", "));
    }
  }

 private:
  static constexpr std::size_t kShownIds = 5;
  std::size_t count_ = 0;
  std::string first_pair_;
  std::vector<std::string> ids_;
};

// A worker id of a link as the chain's workers hold it (files may write upper case or
// braces); none for an empty or malformed id.
std::optional<boost::uuids::uuid> ParseUuid(const std::string& text) {
  if (text.empty()) return std::nullopt;
  try {
    return boost::uuids::string_generator()(text);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

void CopyProperties(Property& from, Property& to) {
  from.ForEach([&](const std::string& key, PropertyValue& value) { to.SetValue(key, value); });
}

std::string ToLowerText(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// A description made from the file alone, for a worker whose model is not registered.
BaseModelStructure PlaceholderStructure(DataWorker& data) {
  BaseModelStructure structure;
  structure.SetUuid(ToLowerText(data.executor_id));
  structure.SetName(data.name);
  structure.SetCaption(data.name);
  structure.SetCategory(data.executor_category);
  std::list<Port> ports;
  for (const DataPort& data_port : data.ports) {
    if (data_port.kind != static_cast<int>(PortType::input) &&
        data_port.kind != static_cast<int>(PortType::output)) {
      continue;
    }
    Port& port = ports.emplace_back();
    port.SetType(static_cast<PortType>(data_port.kind));
    port.SetName(data_port.name);
    port.SetCaption(data_port.name);
    // A data type id that is not uuid text throws "invalid uuid string".
    port.SetDataType(SimplePluginsManager::GetInstance()->FindDataType(
        boost::uuids::string_generator()(data_port.data_type_id)));
  }
  structure.SetPorts(std::move(ports));
  data.properties.ForEach([&](const std::string& key, PropertyValue& value) {
    BaseControl control;
    control.SetName(key);
    control.SetCaption(key);
    control.SetValueType(DataTypeScalar::GetInstance());
    control.SetDefault(value);
    structure.AddControl(std::move(control));
  });
  return structure;
}

std::shared_ptr<IDataProcess> CreatePlaceholder(IDataProcessChain& chain, DataWorker& data) {
  auto model = std::make_shared<DataProcessModelUnknown>();
  model->SetStructure(PlaceholderStructure(data));
  return model->CreateAndInitializeWorker(model, data.id, chain.GetSessionId());
}

void ApplyWorkerData(IDataProcess& worker, DataWorker& data) {
  for (const DataPort& data_port : data.ports) {
    Port* port = worker.FindPortByName(static_cast<PortType>(data_port.kind), data_port.name, true);
    // Port ids are kept as written, uuid text or not: links refer to them.
    if (port != nullptr && !data_port.id.empty()) port->SetId(data_port.id);
  }
  Property& properties = *worker.GetProperties();
  Property& system = *worker.GetSystemProperties();
  data.properties.ForEach([&](const std::string& key, PropertyValue& value) {
    properties.SetValue(key, value);
    // Only a complete "$__system." prefix names a system value; "$__system" alone or
    // "$__systemname" are ordinary properties.
    if (key.starts_with(kSystemPrefix)) system.SetValue(key.substr(kSystemPrefix.size()), value);
  });
  CopyProperties(data.system, system);
  worker.ApplyProperties();
}

void BuildChainFromDataChain(std::shared_ptr<IDataProcessChain> chain, DataChain& data) {
  ApplyChainPropertiesFromDataChain(chain, data);
  CreateWorkersFromDataChain(chain, data, ExecutionStage::kLoadingTime);
  if (chain->GetWorkersCount() != 0) {
    chain->Execute(ExecutionStage::kLoadingTime, ExecutionFlow::kRepeatWhileRequested);
    SimplePluginsManager::GetInstance()->RegisterAvailableModels(chain->GetSessionId());
  }
  CreateWorkersFromDataChain(chain, data, ExecutionStage::kRunTime);
  CreateLinksFromDataChain(chain, data);
}

// The road the entry points share: build only what was read successfully.
bool BuildIfRead(bool read, std::shared_ptr<IDataProcessChain> chain, DataChain& data) {
  if (read) BuildChainFromDataChain(std::move(chain), data);
  return read;
}

}  // namespace

void CreateWorkersFromDataChain(std::shared_ptr<IDataProcessChain> chain, DataChain& data,
                                ExecutionStage stage) {
  for (DataWorker& data_worker : data.workers) {
    if (data_worker.execution_stage != stage) continue;
    std::shared_ptr<IDataProcess> worker =
        chain->CreateWorker(data_worker.id, data_worker.executor_id);
    if (!worker) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Failed create worker: {}", data_worker.ToString());
      worker = CreatePlaceholder(*chain, data_worker);
      if (!worker) {
        ZELPH_LOG(ZelphSeverityLevel::kError, "Failed create worker: {}", data_worker.ToString());
        continue;
      }
    }
    ApplyWorkerData(*worker, data_worker);
    if (worker->GetStructure().IsNativeExtension()) {
      ZELPH_LOG(ZelphSeverityLevel::kWarning,
                "Chain contains a native worker:\n    {}\n    IT WILL NOT WORK PROPERLY without "
                "direct server support, in particular, in chains or multi-chains!",
                data_worker.ToString());
    }
    chain->AddWorker(worker);
  }
}

void CreateLinksFromDataChain(std::shared_ptr<IDataProcessChain> chain, DataChain& data) {
  // The chain's own FindPortById walks every worker for every lookup; indexes of the same
  // answers (first worker in chain order, first port of that worker) keep loading a large
  // chain linear in its size.
  std::unordered_map<std::string, PortOwner> ports;
  std::unordered_map<boost::uuids::uuid, std::shared_ptr<IDataProcess>,
                     boost::hash<boost::uuids::uuid>>
      workers;
  DuplicatePortIds duplicates;
  for (const auto& worker : chain->GetWorkers()) {
    workers.try_emplace(worker->GetUuid(), worker);
    for (Port* port : worker->GetPorts()) {
      auto [first, inserted] = ports.try_emplace(port->GetId(), PortOwner{worker, port});
      if (!inserted) duplicates.Add(first->second, PortOwner{worker, port});
    }
  }
  duplicates.Log();
  // Port ids are unique only per worker: an end whose link names a worker holding the port is
  // resolved on that worker; otherwise by the port id alone.
  auto find = [&](const std::string& worker_id, const std::string& port_id) -> PortOwner {
    if (auto uuid = ParseUuid(worker_id)) {
      auto worker = workers.find(*uuid);
      if (worker != workers.end()) {
        if (Port* port = worker->second->FindPortById(port_id)) return {worker->second, port};
      }
    }
    auto it = ports.find(port_id);
    return it == ports.end() ? PortOwner{} : it->second;
  };
  for (const DataLink& data_link : data.links) {
    const PortOwner source = find(data_link.src_worker_id, data_link.src_port_id);
    const PortOwner destination = find(data_link.dst_worker_id, data_link.dst_port_id);
    if (source.port == nullptr || destination.port == nullptr) continue;
    Link* link =
        chain->CreateLink(source.worker, source.port, destination.worker, destination.port);
    if (link == nullptr) {
      ZELPH_LOG(ZelphSeverityLevel::kError, "Failed create link: {}", data_link.ToString());
      continue;
    }
    link->SetId(data_link.id);
  }
}

void ApplyChainPropertiesFromDataChain(std::shared_ptr<IDataProcessChain> chain, DataChain& data) {
  CopyProperties(data.properties, *chain->GetProperties());
  chain->UpdateChangedProperties();
  chain->SetId(data.id);
  chain->SetName(data.name);
  chain->SetCategory(data.category);
  chain->SetDescription(data.description);
  chain->SetExecutionOption(chain::ExecutionOption::kAll, data.all);
  chain->SetExecutionOption(chain::ExecutionOption::kMultithreading, data.multithreading);
  chain->SetExecutionOption(chain::ExecutionOption::kIgnoreExceptions, data.ignore_exceptions);
  chain->SetExecutor(data.executor);
}

}  // namespace zelph::parse

namespace {

void LogUnsupportedParser() { ZELPH_LOG(ZelphSeverityLevel::kError, "Unsupported json parser"); }

}  // namespace

bool ParseChainFile(const std::string& path, JsonParser parser,
                    std::shared_ptr<IDataProcessChain> chain) {
  zelph::Timer timer("ParseChainFile");
  zelph::DataChain data;
  switch (parser) {
    case JsonParser::kMiniJson:
      return zelph::parse::BuildIfRead(zelph::ReadChainMiniJsonFile(path.c_str(), data), chain,
                                       data);
    case JsonParser::kRapidJson:
      return zelph::parse::BuildIfRead(zelph::ReadChainJsonFile(path.c_str(), data), chain, data);
  }
  LogUnsupportedParser();
  return false;
}

bool ParseChain(const char* text, std::size_t length, JsonParser parser,
                std::shared_ptr<IDataProcessChain> chain) {
  zelph::Timer timer("ParseChain");
  zelph::DataChain data;
  switch (parser) {
    case JsonParser::kMiniJson:
      return zelph::parse::BuildIfRead(zelph::ReadChainMiniJson(text, length, data), chain, data);
    case JsonParser::kRapidJson:
      // Bounded by the length: the text need not end with a NUL.
      return zelph::parse::BuildIfRead(zelph::ReadChainJsonText(text, length, data), chain, data);
  }
  LogUnsupportedParser();
  return false;
}

bool ParseChain(const std::string& text, JsonParser parser,
                std::shared_ptr<IDataProcessChain> chain) {
  zelph::Timer timer("ParseChain");
  if (parser != JsonParser::kMiniJson) {
    LogUnsupportedParser();
    return false;
  }
  zelph::DataChain data;
  return zelph::parse::BuildIfRead(zelph::ReadChainMiniJson(text.data(), text.size(), data), chain,
                                   data);
}

zelph::DataChain ParseChain(const std::string& text, JsonParser parser) {
  zelph::Timer timer("ParseChain");
  zelph::DataChain data;
  switch (parser) {
    case JsonParser::kMiniJson:
      zelph::ReadChainMiniJson(text.data(), text.size(), data);
      break;
    case JsonParser::kRapidJson:
      zelph::ReadChainJsonText(text.data(), text.size(), data);
      break;
    default:
      LogUnsupportedParser();
      break;
  }
  return data;
}
