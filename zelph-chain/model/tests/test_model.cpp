// test_model.cpp
//
// The scripted workers and the description of the test model.
#include "test_model.h"

#include <stdexcept>
#include <thread>

#include "zelph/model/port_data.h"

namespace zelph::testing {

namespace {

// One model uuid per script, so registries can tell the models apart.
const char* ModelUuid(Script script) {
  switch (script) {
    case Script::kNoOp:
      return "5e0d0000-0000-4000-8000-000000000001";
    case Script::kPassThrough:
      return "5e0d0000-0000-4000-8000-000000000002";
    case Script::kFailing:
      return "5e0d0000-0000-4000-8000-000000000003";
    case Script::kThrowing:
      return "5e0d0000-0000-4000-8000-000000000004";
    case Script::kRepeatOnce:
      return "5e0d0000-0000-4000-8000-000000000005";
    case Script::kSlow:
      return "5e0d0000-0000-4000-8000-000000000006";
  }
  return "";
}

const char* ModelName(Script script) {
  switch (script) {
    case Script::kNoOp:
      return "NoOp";
    case Script::kPassThrough:
      return "PassThrough";
    case Script::kFailing:
      return "Failing";
    case Script::kThrowing:
      return "Throwing";
    case Script::kRepeatOnce:
      return "RepeatOnce";
    case Script::kSlow:
      return "Slow";
  }
  return "";
}

template <Script kScript>
std::shared_ptr<IDataProcess> CreateWorker(const boost::uuids::uuid& id) {
  return std::make_shared<TestWorker>(id, kScript);
}

DataProcessFactory FactoryOf(Script script) {
  switch (script) {
    case Script::kNoOp:
      return &CreateWorker<Script::kNoOp>;
    case Script::kPassThrough:
      return &CreateWorker<Script::kPassThrough>;
    case Script::kFailing:
      return &CreateWorker<Script::kFailing>;
    case Script::kThrowing:
      return &CreateWorker<Script::kThrowing>;
    case Script::kRepeatOnce:
      return &CreateWorker<Script::kRepeatOnce>;
    case Script::kSlow:
      return &CreateWorker<Script::kSlow>;
  }
  return nullptr;
}

zelph::Port DescriptionPort(const std::string& name, zelph::PortType type) {
  zelph::Port port;
  port.SetName(name);
  port.SetType(type);
  return port;
}

zelph::BaseControl Control(const std::string& name, IDataType* type) {
  zelph::BaseControl control;
  control.SetName(name);
  control.SetValueType(type);
  return control;
}

}  // namespace

TestWorker::TestWorker(const boost::uuids::uuid& id, Script script)
    : QuietWorker(id), script_(script) {}

void TestWorker::Work(zelph::ExecutionStage stage) {
  ++run_count_;
  last_stage_ = stage;
  switch (script_) {
    case Script::kNoOp:
      return;
    case Script::kPassThrough:
      PassThrough();
      return;
    case Script::kFailing:
      SetError(ErrorKind::kExecution, kScriptedFailure, "", kScriptedErrorClass);
      return;
    case Script::kThrowing:
      throw std::runtime_error("Scripted throw");
    case Script::kRepeatOnce:
      repeat_request_ = run_count_ == 1;
      PassThrough();
      return;
    case Script::kSlow: {
      const auto until = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(GetPropertyInt32("delay_ms", 50));
      while (!interrupted_ && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      PassThrough();
      return;
    }
  }
}

void TestWorker::PassThrough() {
  zelph::Port* input = FindPortByName(zelph::PortType::input, "input", false);
  zelph::Port* output = FindPortByName(zelph::PortType::output, "output", false);
  if (input != nullptr && output != nullptr) output->SetData(input->GetData());
}

bool TestWorker::Reset() {
  run_count_ = 0;
  repeat_request_ = false;
  interrupted_ = false;
  SetResetFlag(false);
  return true;
}

zelph::BaseModelStructure MakeTestStructure(const std::string& name) {
  zelph::BaseModelStructure structure;
  structure.SetName(name);
  structure.SetCategory("test");
  std::list<zelph::Port> ports;
  ports.push_back(DescriptionPort("input", zelph::PortType::input));
  ports.push_back(DescriptionPort("output", zelph::PortType::output));
  structure.SetPorts(std::move(ports));
  structure.AddControl(Control("count", DataTypeInt32::GetInstance()));
  structure.AddControl(Control("label", DataTypeStr::GetInstance()));
  return structure;
}

std::shared_ptr<IDataProcessModel> MakeTestModel(Script script) {
  auto model = DataProcessModelBase::Create(FactoryOf(script));
  zelph::BaseModelStructure structure = MakeTestStructure(ModelName(script));
  structure.SetUuid(ModelUuid(script));
  model->SetStructure(std::move(structure));
  model->SetSessionId("test");
  return model;
}

std::shared_ptr<TestWorker> MakeTestWorker(Script script, const std::string& worker_id) {
  auto model = MakeTestModel(script);
  return std::static_pointer_cast<TestWorker>(
      model->CreateAndInitializeWorker(model, worker_id, model->GetSessionId()));
}

void RecordingListener::OnChangeFlag(std::shared_ptr<IDataProcess>, int old_flags, int new_flags) {
  changes.push_back({old_flags, new_flags});
  const bool set = (new_flags & ~old_flags) != 0;
  if (set ? throw_on_set : throw_on_clear) {
    throw std::runtime_error(set ? "listener failed on set" : "listener failed on clear");
  }
}

}  // namespace zelph::testing
