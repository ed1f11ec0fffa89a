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

// A log line that a load would write once per worker, port or link of the chain. A chain
// file comes from a client and may hold a hundred thousand of them (worker ids that share
// their first eight hex digits repeat the id of every port), so a load writes the first
// occurrence in full and, when there are more, the count and the first few ids.
class RepeatedLine {
 public:
  RepeatedLine(ZelphSeverityLevel level, const char* head) : level_(level), head_(head) {}

  // `detail` is called for the first occurrence only; `id` is client text.
  template <typename Detail>
  void Add(Detail&& detail, std::string_view id) {
    if (count_++ == 0) first_ = detail();
    if (ids_.size() < kShownIds) ids_.push_back(QuoteClientText(id));
  }

  void Log() const {
    if (count_ == 1) {
      ZELPH_LOG(level_, "{}{}", head_, first_);
    } else if (count_ > 1) {
      ZELPH_LOG(level_, "{}{}; {} in this load, first ids: {}", head_, first_, count_,
                fmt::join(ids_, ", "));
    }
  }

 private:
  static constexpr std::size_t kShownIds = 5;
  ZelphSeverityLevel level_;
  const char* head_;
  std::size_t count_ = 0;
  std::string first_;
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
  RepeatedLine failed(ZelphSeverityLevel::kError, "Failed create worker: ");
  RepeatedLine failed_placeholder(ZelphSeverityLevel::kError, "Failed create worker: ");
  for (DataWorker& data_worker : data.workers) {
    if (data_worker.execution_stage != stage) continue;
    std::shared_ptr<IDataProcess> worker =
        chain->CreateWorker(data_worker.id, data_worker.executor_id);
    if (!worker) {
      failed.Add([&] { return data_worker.ToString(); }, data_worker.id);
      worker = CreatePlaceholder(*chain, data_worker);
      if (!worker) {
        failed_placeholder.Add([&] { return data_worker.ToString(); }, data_worker.id);
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
  failed.Log();
  failed_placeholder.Log();
}

void CreateLinksFromDataChain(std::shared_ptr<IDataProcessChain> chain, DataChain& data) {
  // The chain's own FindPortById walks every worker for every lookup; indexes of the same
  // answers (first worker in chain order, first port of that worker) keep loading a large
  // chain linear in its size.
  std::unordered_map<std::string, PortOwner> ports;
  std::unordered_map<boost::uuids::uuid, std::shared_ptr<IDataProcess>,
                     boost::hash<boost::uuids::uuid>>
      workers;
  RepeatedLine duplicates(ZelphSeverityLevel::kWarning, "Duplicate port id ");
  for (const auto& worker : chain->GetWorkers()) {
    workers.try_emplace(worker->GetUuid(), worker);
    for (Port* port : worker->GetPorts()) {
      auto [first, inserted] = ports.try_emplace(port->GetId(), PortOwner{worker, port});
      if (!inserted) {
        duplicates.Add(
            [&] {
              return fmt::format(
                  "{}: port '{}' of {} and port '{}' of {}", QuoteClientText(port->GetId()),
                  QuoteClientText(first->second.port->GetName()), first->second.worker->ToString(),
                  QuoteClientText(port->GetName()), worker->ToString());
            },
            port->GetId());
      }
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
  RepeatedLine failed(ZelphSeverityLevel::kError, "Failed create link: ");
  for (const DataLink& data_link : data.links) {
    const PortOwner source = find(data_link.src_worker_id, data_link.src_port_id);
    const PortOwner destination = find(data_link.dst_worker_id, data_link.dst_port_id);
    if (source.port == nullptr || destination.port == nullptr) continue;
    Link* link =
        chain->CreateLink(source.worker, source.port, destination.worker, destination.port);
    if (link == nullptr) {
      failed.Add([&] { return data_link.ToString(); }, data_link.id);
      continue;
    }
    link->SetId(data_link.id);
  }
  failed.Log();
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
