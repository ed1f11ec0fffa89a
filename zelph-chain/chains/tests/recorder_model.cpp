// recorder_model.cpp
#include "recorder_model.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "zelph/model/data_process_model_base.h"
#include "zelph/model/model_structure.h"
#include "zelph/model/port.h"
#include "zelph/model/port_data_scalar.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {

namespace {

constexpr char kSession[] = "chains-test";

std::shared_ptr<IDataProcess> CreateRecorder(const boost::uuids::uuid& id) {
  return std::make_shared<RecorderWorker>(id);
}

Port DescriptionPort(const std::string& name, PortType type) {
  Port port;
  port.SetName(name);
  port.SetType(type);
  return port;
}

void RegisterModel(const char* id, const char* name, ExecutionStage stage) {
  BaseModelStructure structure;
  structure.SetUuid(id);
  structure.SetName(name);
  structure.SetExecutionStage(stage);
  std::list<Port> ports;
  ports.push_back(DescriptionPort("input", PortType::input));
  ports.push_back(DescriptionPort("second", PortType::input));
  ports.push_back(DescriptionPort("output", PortType::output));
  ports.push_back(DescriptionPort("extra", PortType::output));
  structure.SetPorts(std::move(ports));
  auto model = DataProcessModelBase::Create(&CreateRecorder);
  model->SetStructure(std::move(structure));
  model->SetSessionId(kSession);
  SimplePluginsManager::GetInstance()->AddModel(model, kSession);
}

}  // namespace

std::vector<std::string> RunLog::Take() {
  std::lock_guard lock(mutex);
  std::vector<std::string> taken;
  taken.swap(entries);
  return taken;
}

void RecorderWorker::ExecuteImpl(ExecutionStage /*stage*/) {
  ++run_count_;
  started_ = true;
  SetResetFlag(false);
  while (blocks_ && !interrupted_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (log_) {
    std::lock_guard lock(log_->mutex);
    log_->entries.push_back(GetSystemName() + DescribeInputs());
  }
  repeat_request_ = repeat_once_ && run_count_ == 1;
  if (throws_) throw std::runtime_error("Recorder throws");
  if (fails_) {
    SetError(ErrorKind::kExecution, "Recorder failed", "", "");
    return;
  }
  for (Port* port : FindPorts(PortType::output)) {
    port->SetData(std::make_shared<PortDataScalar>(GetSystemName()));
  }
}

std::string RecorderWorker::DescribeInputs() const {
  std::string text;
  for (Port* port : FindPorts(PortType::input)) {
    auto data = std::dynamic_pointer_cast<PortDataScalar>(port->GetData());
    if (!data) continue;
    text += (text.empty() ? "(" : " ") + port->GetName() + ":" + data->GetStr();
  }
  return text.empty() ? text : text + ")";
}

void RegisterRecorderModels() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterModel(kRecorderModel, "Recorder", ExecutionStage::kRunTime);
    RegisterModel(kLoadingRecorderModel, "LoadingRecorder", ExecutionStage::kLoadingTime);
    RegisterModel(kRedirectingModel, "Redirector", ExecutionStage::kRunTime);
    RegisterModel(kKeptModel, "Kept", ExecutionStage::kRunTime);
  });
}

ChainFixture::ChainFixture(ExecutionStrategyType type) : chain(LinkedChain::Create()) {
  RegisterRecorderModels();
  chain->SetExecutionStrategy(type, false);
}

RecorderWorker& ChainFixture::Add(const std::string& name, const char* model_id) {
  auto worker = chain->CreateWorker("", model_id);
  if (!worker) throw std::runtime_error("recorder model not registered");
  worker->GetSystemProperties()->SetValue("name", name);
  auto recorder = std::dynamic_pointer_cast<RecorderWorker>(worker);
  recorder->SetLog(log);
  chain->AddWorker(worker);
  return *recorder;
}

Link* ChainFixture::Connect(const std::string& from, const std::string& to,
                            const std::string& from_port, const std::string& to_port) {
  auto source = chain->FindWorker(from);
  auto destination = chain->FindWorker(to);
  return chain->CreateLink(source, source->FindPortByName(PortType::output, from_port, false),
                           destination,
                           destination->FindPortByName(PortType::input, to_port, false));
}

void ChainFixture::Disable(const std::string& name) {
  chain->FindWorker(name)->GetSystemProperties()->SetValue("enabled", false);
}

RecorderWorker& ChainFixture::Worker(const std::string& name) {
  return dynamic_cast<RecorderWorker&>(*chain->FindWorker(name));
}

std::vector<std::string> ChainFixture::Run(ExecutionStage stage, ExecutionFlow flow) {
  last_status = chain->Execute(stage, flow);
  return log->Take();
}

}  // namespace zelph::testing
