// chain_test_models.cpp
#include "chain_test_models.h"

#include <list>
#include <mutex>

#include "zelph/model/data_process_model_base.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {
namespace {

class LoaderWorker : public QuietWorker {
 public:
  using QuietWorker::QuietWorker;

 protected:
  void ExecuteImpl(ExecutionStage) override { ++LoaderRuns(); }
};

class ConstantWorker : public QuietWorker {
 public:
  using QuietWorker::QuietWorker;

 protected:
  void ExecuteImpl(ExecutionStage) override {
    Port* out = FindPortByName(PortType::output, "out", false);
    if (out != nullptr)
      out->SetData(std::make_shared<PortDataScalar>(GetPropertyString("value", "")));
  }
};

template <typename Worker>
std::shared_ptr<IDataProcess> Make(const boost::uuids::uuid& id) {
  return std::make_shared<Worker>(id);
}

Port PortOf(const std::string& name, PortType type) {
  Port port;
  port.SetName(name);
  port.SetType(type);
  port.SetDataType(DataTypeScalar::GetInstance());
  return port;
}

BaseControl ControlOf(const std::string& name, IDataType* type) {
  BaseControl control;
  control.SetName(name);
  control.SetValueType(type);
  return control;
}

void Register(DataProcessFactory factory, const char* uuid, const char* name, ExecutionStage stage,
              std::list<Port> ports, bool with_controls) {
  auto model = DataProcessModelBase::Create(factory);
  BaseModelStructure structure;
  structure.SetUuid(uuid);
  structure.SetName(name);
  structure.SetCategory("tests");
  structure.SetExecutionStage(stage);
  structure.SetPorts(std::move(ports));
  if (with_controls) {
    structure.AddControl(ControlOf("value", DataTypeScalar::GetInstance()));
    structure.AddControl(ControlOf("factor", DataTypeDouble::GetInstance()));
  }
  model->SetStructure(std::move(structure));
  SimplePluginsManager::GetInstance()->AddModel(model, "");
}

}  // namespace

std::atomic<int>& LoaderRuns() {
  static std::atomic<int> runs{0};
  return runs;
}

void SinkWorker::ExecuteImpl(ExecutionStage) {
  Port* in = FindPortByName(PortType::input, "in", false);
  auto data = in != nullptr ? std::dynamic_pointer_cast<PortDataScalar>(in->GetData()) : nullptr;
  received_ = data ? data->GetStr() : "";
}

void RegisterChainTestModels() {
  static std::once_flag once;
  std::call_once(once, [] {
    Register(&Make<LoaderWorker>, kLoaderModel, "Loader", ExecutionStage::kLoadingTime, {}, false);
    Register(&Make<ConstantWorker>, kConstantModel, "Constant", ExecutionStage::kRunTime,
             {PortOf("out", PortType::output)}, true);
    Register(&Make<SinkWorker>, kSinkModel, "Sink", ExecutionStage::kRunTime,
             {PortOf("in", PortType::input)}, false);
  });
}

}  // namespace zelph::testing
