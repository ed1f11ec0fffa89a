// project_data.cpp
//
// Data between the project cache and the workers. Clients never write into ports: they
// store input in the cache under keys that name a worker by its system name or id, and a
// starting worker receives it here; a finished worker's ports go back into the cache. Port
// data is shared, never copied: a port and its cache entries hold the same object, which
// nobody changes in place once it is published (producers make new data).
#include <string>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"
#include "zelph/logger/timer.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/model/property.h"
#include "zelph/model/property_keys.h"
#include "zelph/projects/project.h"
#include "zelph/projects/worker_property_text.h"

namespace zelph {
namespace {

std::string WorkerKey(const std::string& worker, const char* direction, const std::string& port) {
  std::string key;
  key.reserve(8 + worker.size() + 9 + port.size());
  key.append("/worker:").append(worker).append(direction).append(port);
  return key;
}

std::string WorkerInputKey(const std::string& worker, const std::string& port) {
  return WorkerKey(worker, "/input:", port);
}

std::string WorkerOutputKey(const std::string& worker, const std::string& port) {
  return WorkerKey(worker, "/output:", port);
}

}  // namespace

void Project::PushInputData(IDataProcess& worker) {
  Timer timer("PushInputData");
  // A worker without a system name gets nothing, not even what names it by id.
  const std::string system_name = worker.GetSystemName();
  if (system_name.empty()) return;
  PushInputDataToPortOrControl(worker, system_name);
  PushWorkerInputs(worker, system_name);
}

void Project::PushInputDataToPortOrControl(IDataProcess& worker, const std::string& system_name) {
  const BaseModelStructure& structure = worker.GetStructure();
  const bool into_port = structure.GetOptionalFlag(kInputModel);
  const bool into_control = structure.GetOptionalFlag(kDataModel);
  if (!into_port && !into_control) return;

  std::string key = "/input:" + system_name;
  if (!cache_->Find(key)) {
    std::string data_key = "/data:" + system_name;
    if (!cache_->Find(data_key)) {
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Input data: '{}' not found", QuoteClientText(key));
      return;
    }
    key = std::move(data_key);
  }
  const std::shared_ptr<IPortData> data = GetCache(key).data;

  if (into_port) {
    const std::vector<Port*>& ports = worker.GetPorts();
    if (ports.empty()) {
      ZELPH_LOG(ZelphSeverityLevel::kWarning,
                "Empty input ports container, '{}' data can't be written, woroker: {}",
                QuoteClientText(key), worker.ToString());
    } else {
      ports.front()->SetData(data);
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Input data '{}' written into port: {}",
                QuoteClientText(key), ports.front()->ToString());
      return;
    }
  }
  if (!into_control) return;

  const std::vector<BaseControl> controls = structure.GetControls();
  if (controls.empty()) {
    ZELPH_LOG(ZelphSeverityLevel::kError,
              "Empty controls container, '{}' data can't be written, worker: {}",
              QuoteClientText(key), worker.ToString());
    return;
  }
  const BaseControl& control = controls.front();
  const std::string name = control.GetName();
  const IDataType* type = data ? data->GetDataType() : nullptr;
  if (type == nullptr) {
    worker.GetProperties()->SetValue(name, control.GetDefault());
    ZELPH_LOG(ZelphSeverityLevel::kDebug, "Input data '{}' reset to default property: '{}' value",
              QuoteClientText(key), QuoteClientText(name));
    return;
  }
  if (DataTypeScalar::Equals(type)) {
    if (const auto* scalar = dynamic_cast<const PortDataScalar*>(data.get())) {
      SetWorkerPropertyFromString(worker, name, scalar->GetStr());
      ZELPH_LOG(ZelphSeverityLevel::kDebug, "Input data '{}' written into property: '{}'",
                QuoteClientText(key), QuoteClientText(name));
      return;
    }
  }
  ZELPH_LOG(ZelphSeverityLevel::kError,
            "Unsupported input data type: '{}', '{}' data can't be written, worker: {}",
            type->GetName(), QuoteClientText(key), worker.ToString());
}

void Project::PushWorkerInputs(IDataProcess& worker, const std::string& system_name) {
  if (system_name.empty()) return;
  const std::string& worker_id = worker.GetId();
  for (Port* port : worker.GetPorts()) {
    const std::string port_name = port->GetName();
    // All that exist are applied in this order, so the last one present wins.
    for (const std::string& key :
         {WorkerInputKey(system_name, port_name), WorkerInputKey(worker_id, port->GetId()),
          WorkerInputKey(worker_id, port_name)}) {
      if (std::optional<DataEx> entry = cache_->Find(key)) port->SetData(entry->data);
    }
  }
}

void Project::CacheWorkerPorts(IDataProcess& worker) {
  if (!ReadChainFlag(tmp::kEnableCache)) return;
  const std::int64_t now = DataEx::Now();
  for (Port* port : std::vector<Port*>(worker.GetPorts())) {
    if (port->GetType() != PortType::input && port->GetType() != PortType::output) continue;
    SetCache("/cache:" + port->GetId(), port->GetData(), now);
    port->ForEachLinkedPorts(
        [&](Port* linked) { SetCache("/cache:" + linked->GetId(), port->GetData(), now); });
  }
}

void Project::CacheSystemOutput(IDataProcess& worker) {
  const std::string system_name = worker.GetSystemName();
  if (system_name.empty()) return;
  Port* output = worker.FindPortByName(PortType::output, "output", true);
  if (output == nullptr) return;
  // An output without data leaves the previous entry for clients to read.
  if (std::shared_ptr<IPortData> data = output->GetData()) {
    SetCache("/output:" + system_name, std::move(data));
  }
}

void Project::CacheWorkerOutputs(IDataProcess& worker) {
  const std::string& worker_id = worker.GetId();
  const std::string system_name = worker.GetSystemName();
  const std::int64_t now = DataEx::Now();
  for (Port* port : worker.GetPorts()) {
    std::shared_ptr<IPortData> data = port->GetData();
    const std::string port_name = port->GetName();
    SetCache(WorkerOutputKey(worker_id, port->GetId()), data, now);
    SetCache(WorkerOutputKey(worker_id, port_name), data, now);
    if (!system_name.empty()) {
      SetCache(WorkerOutputKey(system_name, port_name), std::move(data), now);
    }
  }
}

void Project::StoreVisibleResultMetaInformation(IDataProcess& worker) {
  std::string information = worker.GetVisibleResultsInformation();
  if (Property* properties = worker.GetProperties()) {
    properties->SetValue(tmp::kVisibleResultMetaInformation, std::move(information));
  }
}

}  // namespace zelph
