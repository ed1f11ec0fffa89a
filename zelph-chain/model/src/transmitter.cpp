// transmitter.cpp
//
// The rules by which data and parameter values pass between port kinds, and control ports.
#include "zelph/model/transmitter.h"

#include "zelph/config/config_log.h"
#include "zelph/logger/client_text.h"
#include "zelph/model/data_process.h"
#include "zelph/model/port_data_scalar.h"

using zelph::PortType;

namespace {

// Output data into a parameter: only an initialised scalar carries a value.
void ScalarIntoProperty(const zelph::Port& source, IDataProcess* destination_worker,
                        const zelph::Port& destination) {
  const auto data = source.GetData();
  if (!data || !data->IsInitialized() || !DataTypeScalar::Equals(data->GetDataType())) {
    return;
  }
  if (const auto* scalar = CastToScalar(data.get())) {
    destination_worker->SetPropertyValue(destination.GetName(), scalar->GetStr());
  }
}

}  // namespace

void ITransmitter::TransmitData(const std::shared_ptr<IDataProcess>& source_worker,
                                zelph::Port* source_port,
                                const std::shared_ptr<IDataProcess>& destination_worker,
                                zelph::Port* destination_port) const {
  if (source_port == nullptr || destination_port == nullptr) return;
  ZELPH_CONFIG_LOG(ZelphSeverityLevel::kDebug, "Transmit data {}[{}] -> {}[{}]",
                   zelph::QuoteClientText(source_worker ? source_worker->GetName() : ""),
                   zelph::QuoteClientText(source_port->GetName()),
                   zelph::QuoteClientText(destination_worker ? destination_worker->GetName() : ""),
                   zelph::QuoteClientText(destination_port->GetName()));
  const PortType from = source_port->GetType();
  const PortType to = destination_port->GetType();
  if (from == PortType::output && to == PortType::input) {
    destination_port->SetData(source_port->GetData());
  } else if (from == PortType::output && to == PortType::input_control) {
    if (destination_worker)
      ScalarIntoProperty(*source_port, destination_worker.get(), *destination_port);
  } else if (from == PortType::output_control && to == PortType::input) {
    if (!source_worker) return;
    destination_port->SetData(std::make_shared<PortDataScalar>(
        source_worker->GetPropertyString(source_port->GetName(), "")));
  } else if (from == PortType::output_control && to == PortType::input_control) {
    if (!source_worker || !destination_worker) return;
    destination_worker->SetPropertyValue(
        destination_port->GetName(), source_worker->GetPropertyString(source_port->GetName(), ""));
  } else {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError,
                     "Transmitter can't be created: 'Unknown transmitter type', src type: '{}', "
                     "dest type: '{}'",
                     zelph::PortTypeToString(from), zelph::PortTypeToString(to));
  }
}

zelph::Port* PortModelFactory::Create(const zelph::BaseControl& control, zelph::PortType type) {
  auto* port = new zelph::Port();
  port->SetName(control.GetName());
  port->SetType(type);
  port->SetDataType(DataTypeScalar::GetInstance());
  port->SetOptional(true);
  port->SetCaption(control.GetCaption());
  port->SetHint(control.GetHint());
  return port;
}
