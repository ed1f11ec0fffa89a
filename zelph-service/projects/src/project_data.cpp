// project_data.cpp
//
// Data between the project cache and the workers. Clients never write into ports: they
// store input in the cache under keys that name a worker by its system name or id, and a
// starting worker receives it here; a finished worker's ports go back into the cache. Port
// data is shared, never copied: a port and its cache entries hold the same object, which
// nobody changes in place once it is published (producers make new data).
#include <string>

#include "run_slots.h"
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
void Project::PushInputData(IDataProcess& worker, WorkerRunSlot& slot) {
  Timer timer("PushInputData");
  // A worker without a system name gets nothing, not even what names it by id.
  if (!slot.system_name || slot.system_name->empty()) return;
  PushInputDataToPortOrControl(worker, *slot.system_name);
  PushWorkerInputs(slot);
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

void Project::PushWorkerInputs(WorkerRunSlot& slot) {
  // A key found absent before stays absent until the cache adds a key: only the keys present
  // then are read again.
  const std::uint64_t keys_added = cache_->KeysAdded();
  const bool look_for_all = slot.inputs_checked_at != keys_added;
  slot.inputs_checked_at = keys_added;
  for (PortRunKeys& keys : slot.ports) {
    const ShardedKey* const ordered[] = {&keys.input_by_system_name, &keys.input_by_id,
                                         &keys.input_by_name};
    // All that exist are applied in this order, so the last one present wins.
    for (std::size_t i = 0; i < keys.input_present.size(); ++i) {
      if (!look_for_all && !keys.input_present[i]) continue;
      std::optional<DataEx> entry = cache_->Find(*ordered[i]);
      keys.input_present[i] = entry.has_value();
      if (entry) keys.port->SetData(entry->data);
    }
  }
}

void Project::CacheWorkerPorts(const WorkerRunSlot& slot) {
  if (!ReadChainFlag(tmp::kEnableCache)) return;
  const std::int64_t now = DataEx::Now();
  for (const PortRunKeys& keys : slot.ports) {
    Port* port = keys.port;
    if (port->GetType() != PortType::input && port->GetType() != PortType::output) continue;
    SetCache(keys.port_cache, port->GetData(), now);
    for (const ShardedKey& linked : keys.linked_cache) SetCache(linked, port->GetData(), now);
  }
}

void Project::CacheSystemOutput(IDataProcess& worker, const std::string& system_name) {
  if (system_name.empty()) return;
  Port* output = worker.FindPortByName(PortType::output, "output", true);
  if (output == nullptr) return;
  // An output without data leaves the previous entry for clients to read.
  if (std::shared_ptr<IPortData> data = output->GetData()) {
    SetCache("/output:" + system_name, std::move(data));
  }
}

void Project::CacheWorkerOutputs(const WorkerRunSlot& slot) {
  const std::int64_t now = DataEx::Now();
  for (const PortRunKeys& keys : slot.ports) {
    std::shared_ptr<IPortData> data = keys.port->GetData();
    SetCache(keys.output_by_id, data, now);
    SetCache(keys.output_by_name, data, now);
    if (!keys.output_by_system_name.empty()) {
      SetCache(keys.output_by_system_name, std::move(data), now);
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
