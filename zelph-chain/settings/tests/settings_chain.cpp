// settings_chain.cpp
//
// The golden chain of settings workers.
#include "settings_chain.h"

#include <stdexcept>

#include "settings_fixture.h"
#include "zelph/chains/linked_chain.h"
#include "zelph/model/data_process_model_base.h"
#include "zelph/model/port.h"

namespace zelph::testing {
namespace {

std::shared_ptr<IDataProcess> CreateSettingsWorker(const boost::uuids::uuid& id) {
  return std::make_shared<SettingsTestWorker>(id);
}

// Model descriptions point at their ports and never own them: these live for the process.
Port* DescriptionPort(const std::string& name, PortType type, const IDataType* data_type) {
  auto* port = new Port();
  port->SetName(name);
  port->SetType(type);
  port->SetDataType(data_type);
  return port;
}

}  // namespace

std::shared_ptr<IDataProcessModel> MakeSettingsModel(BaseModelStructure structure) {
  auto model = DataProcessModelBase::Create(&CreateSettingsWorker);
  model->SetStructure(std::move(structure));
  return model;
}

std::shared_ptr<SettingsTestWorker> AddSettingsWorker(
    IDataProcessChain& chain, const std::shared_ptr<IDataProcessModel>& model,
    const std::string& id, const std::string& system_name) {
  auto worker = std::dynamic_pointer_cast<SettingsTestWorker>(
      model->CreateAndInitializeWorker(model, id, chain.GetSessionId()));
  if (!worker) throw std::runtime_error("settings test worker not made");
  if (!system_name.empty()) worker->GetSystemProperties()->SetValue("name", system_name);
  chain.AddWorker(worker);
  return worker;
}

SettingsChain MakeGoldenChain() {
  SettingsChain golden;
  golden.chain = LinkedChain::Create();
  IDataProcessChain& chain = *golden.chain;
  chain.SetId(kChainId);
  chain.SetName("Golden chain");
  chain.SetDescription("Chain of the settings fixtures");
  chain.SetContextId(7);
  chain.SetSessionId("settings-test");

  BaseModelStructure camera = CameraStructure();
  camera.AddPort(DescriptionPort("settings", PortType::output, DataTypeScalar::GetInstance()));
  BaseModelStructure blur = BlurStructure();
  blur.AddPort(DescriptionPort("input", PortType::input, DataTypeMat::GetInstance()));
  blur.AddPort(DescriptionPort("output", PortType::output, DataTypeMat::GetInstance()));
  golden.models = {MakeSettingsModel(DashboardStructure()), MakeSettingsModel(std::move(camera)),
                   MakeSettingsModel(std::move(blur))};

  golden.dashboard = AddSettingsWorker(chain, golden.models[0], kDashboardWorkerId, "dashboard");
  golden.camera = AddSettingsWorker(chain, golden.models[1], kCameraWorkerId, "camera");
  golden.blur = AddSettingsWorker(chain, golden.models[2], kBlurWorkerId, "blur");
  golden.blur->visible_results = "\xEF\xBB\xBF{\"model\": \"default\", \"ports\": []}";
  golden.camera->visible_results = "not json";

  chain.CreateLink(
      golden.camera, golden.camera->FindPortByName(PortType::output, "settings", false),
      golden.dashboard, golden.dashboard->FindPortByName(PortType::input_control, "camera", false));
  return golden;
}

}  // namespace zelph::testing
