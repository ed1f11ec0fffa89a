// test_plugin_models.cpp
//
// The workers and model descriptions of the service test plug-in.
#include <atomic>
#include <list>
#include <stdexcept>
#include <utility>

#include "quiet_worker.h"
#include "zelph/model/data_process_model_base.h"
#include "zelph/model/data_type.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/testing/test_plugin_control.h"

namespace zelph::testing {
namespace {

void PassInputToOutput(IDataProcess& worker) {
  Port* input = worker.FindPortByName(PortType::input, "input", false);
  Port* output = worker.FindPortByName(PortType::output, "output", false);
  if (input != nullptr && output != nullptr) output->SetData(input->GetData());
}

// Binds the thread on its first work and releases it when the thread ends, the way a
// thread attached to a virtual machine is detached by a guard at its end.
class ThreadBinding {
 public:
  ThreadBinding() { TestPluginControl::Get().OnThreadAttached(); }
  ~ThreadBinding() { TestPluginControl::Get().OnThreadDetached(); }
  ThreadBinding(const ThreadBinding&) = delete;
  ThreadBinding& operator=(const ThreadBinding&) = delete;
};

void BindThread() { thread_local ThreadBinding binding; }

class PassWorker : public QuietWorker {
 public:
  using QuietWorker::QuietWorker;

  void SetVisibleResultNecessary(bool necessary) override { visible_result_ = necessary; }

  std::shared_ptr<IPortData> CreatePreview() override {
    Port* output = FindPortByName(PortType::output, "output", false);
    return visible_result_ && output != nullptr ? output->GetData() : nullptr;
  }

  std::string GetVisibleResultsInformation() override {
    std::string meta = GetPropertyString("meta", "");
    if (!meta.empty()) return meta;
    Port* output = FindPortByName(PortType::output, "output", false);
    return output == nullptr ? "{}" : "{\"ports\":[{\"id\":\"" + output->GetId() + "\"}]}";
  }

 protected:
  void ExecuteImpl(ExecutionStage) override {
    BindThread();
    TestPluginControl::Get().OnEvent("work", GetId());
    PassInputToOutput(*this);
  }

 private:
  std::atomic<bool> visible_result_{false};
};

class ValueWorker : public QuietWorker {
 public:
  using QuietWorker::QuietWorker;

 protected:
  void ExecuteImpl(ExecutionStage) override {
    Port* output = FindPortByName(PortType::output, "output", false);
    if (output != nullptr)
      output->SetData(std::make_shared<PortDataScalar>(GetPropertyString("value", "")));
  }
};

class FailWorker : public QuietWorker {
 public:
  using QuietWorker::QuietWorker;

 protected:
  void ExecuteImpl(ExecutionStage) override {
    SetError(ErrorKind::kExecution, kScriptedFailure, "", "ScriptedError");
  }
};

// Leaves the gate however the work ends.
class GatePass {
 public:
  GatePass(Gate& gate, const std::atomic<bool>& stop) : gate_(gate) { gate_.Enter(&stop); }
  ~GatePass() { gate_.Leave(); }
  GatePass(const GatePass&) = delete;
  GatePass& operator=(const GatePass&) = delete;

 private:
  Gate& gate_;
};

class SlowWorker : public PassWorker {
 public:
  using PassWorker::PassWorker;

  // Stops the wait at the gate, as a long computation would stop early.
  void Interrupt() override {
    interrupted_ = true;
    TestPluginControl::Get().SlowGate().Wake();
  }

 protected:
  void ExecuteImpl(ExecutionStage stage) override {
    interrupted_ = false;
    { GatePass pass(TestPluginControl::Get().SlowGate(), interrupted_); }
    PassWorker::ExecuteImpl(stage);
  }

 private:
  std::atomic<bool> interrupted_{false};
};

class LoaderWorker : public QuietWorker {
 public:
  using QuietWorker::QuietWorker;

  void SetContextId(long long id) override { context_id_ = id; }

 protected:
  void ExecuteImpl(ExecutionStage) override {
    TestPluginControl& control = TestPluginControl::Get();
    GatePass pass(control.LoaderGate(), never_stopped_);
    control.RecordContext(GetSessionId(), context_id_);
    switch (control.GetLoaderFailure()) {
      case LoaderFailure::kNone:
        return;
      case LoaderFailure::kStdException:
        throw std::runtime_error("Scripted loader failure");
      case LoaderFailure::kOtherException:
        throw 42;
    }
  }

 private:
  long long context_id_ = 0;
  const std::atomic<bool> never_stopped_{false};
};

template <typename Worker>
std::shared_ptr<IDataProcess> Make(const boost::uuids::uuid& id) {
  return std::make_shared<Worker>(id);
}

Port PortOf(const std::string& name, PortType type, const IDataType* data_type) {
  Port port;
  port.SetName(name);
  port.SetCaption(name);
  port.SetType(type);
  port.SetDataType(data_type);
  return port;
}

std::list<Port> MatrixInOut() {
  std::list<Port> ports;
  ports.push_back(PortOf("input", PortType::input, DataTypeMat::GetInstance()));
  ports.push_back(PortOf("output", PortType::output, DataTypeMat::GetInstance()));
  return ports;
}

BaseControl ControlOf(const std::string& name, const IDataType* type, PropertyVariant value) {
  BaseControl control;
  control.SetName(name);
  control.SetCaption(name);
  control.SetValueType(type);
  control.SetValueTypeName(type->GetName());
  control.SetEditionKind(ControlKind::kValue);
  control.SetDefault(PropertyValue{false, std::move(value)});
  return control;
}

struct ModelOutline {
  DataProcessFactory factory;
  const char* uuid;
  const char* name;
  ExecutionStage stage;
  std::uint32_t flags;
  std::list<Port> ports;
  std::vector<BaseControl> controls;
};

std::shared_ptr<IDataProcessModel> MakeModel(ModelOutline outline) {
  BaseModelStructure structure;
  structure.SetUuid(outline.uuid);
  structure.SetName(outline.name);
  structure.SetCaption(outline.name);
  structure.SetCategory("service tests");
  structure.SetExecutionStage(outline.stage);
  if (outline.flags != 0) structure.SetOptionalFlag(static_cast<OptionalFlag>(outline.flags), true);
  structure.SetPorts(std::move(outline.ports));
  for (BaseControl& control : outline.controls) structure.AddControl(std::move(control));
  auto model = DataProcessModelBase::Create(outline.factory);
  model->SetStructure(std::move(structure));
  return model;
}

}  // namespace

void MakeStaticModels(std::vector<std::shared_ptr<IDataProcessModel>>& models) {
  constexpr ExecutionStage kRun = ExecutionStage::kRunTime;
  std::list<Port> value_ports;
  value_ports.push_back(PortOf("output", PortType::output, DataTypeScalar::GetInstance()));
  models.push_back(
      MakeModel({&Make<PassWorker>, kSourceModel, "Source", kRun, kInputModel, MatrixInOut(), {}}));
  models.push_back(
      MakeModel({&Make<PassWorker>, kScaleModel, "Scale", kRun, 0, MatrixInOut(), {}}));
  models.push_back(
      MakeModel({&Make<PassWorker>, kSinkModel, "Sink", kRun, kOutputModel, MatrixInOut(), {}}));
  models.push_back(MakeModel({&Make<ValueWorker>,
                              kValueModel,
                              "Value",
                              kRun,
                              kDataModel,
                              std::move(value_ports),
                              {ControlOf("value", DataTypeStr::GetInstance(), std::string())}}));
  models.push_back(MakeModel({&Make<FailWorker>, kFailModel, "Fail", kRun, 0, MatrixInOut(), {}}));
  models.push_back(MakeModel({&Make<SlowWorker>, kSlowModel, "Slow", kRun, 0, MatrixInOut(), {}}));
  models.push_back(MakeModel(
      {&Make<LoaderWorker>, kLoaderModel, "Loader", ExecutionStage::kLoadingTime, 0, {}, {}}));
}

std::shared_ptr<IDataProcessModel> MakeMainModel(const std::string& context_id) {
  auto model = MakeModel({&Make<QuietWorker>,
                          kMainModel,
                          "Main",
                          ExecutionStage::kRunTime,
                          kMainRole | kSettingsRole,
                          {},
                          {ControlOf("threshold", DataTypeInt32::GetInstance(), 5),
                           ControlOf("label", DataTypeStr::GetInstance(), std::string("main"))}});
  BaseModelStructure structure = model->GetStructure();
  structure.SetOwnerContextId(context_id);
  model->SetStructure(std::move(structure));
  return model;
}

}  // namespace zelph::testing
