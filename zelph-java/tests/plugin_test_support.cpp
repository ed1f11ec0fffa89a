// plugin_test_support.cpp
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include "zelph/model/data_process_model.h"
#include "zelph/plugins/simple_plugins_manager.h"

namespace zelph::testing {

std::shared_ptr<PortDataScalar> Scalar(const std::string& text) {
  return std::make_shared<PortDataScalar>(text);
}

std::shared_ptr<PortDataNumbers> Doubles(const std::vector<double>& values, int block_length) {
  auto numbers = std::make_shared<PortDataNumbers>();
  numbers->SetDataAndCopy(reinterpret_cast<const char*>(values.data()),
                          values.size() * sizeof(double), DataTypeDouble::GetInstance());
  numbers->SetBlockLength(block_length);
  return numbers;
}

std::shared_ptr<PortDataMat> Image(size_t width, size_t height, int channels,
                                   const std::vector<unsigned char>& bytes) {
  auto image = std::make_shared<PortDataMat>();
  image->SetDataAndCopy(width, height, channels, kDepth8U,
                        reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return image;
}

std::string TextOf(const std::shared_ptr<IPortData>& data) {
  const auto* scalar = dynamic_cast<const PortDataScalar*>(data.get());
  return scalar != nullptr && scalar->IsInitialized() ? scalar->GetStr() : "<none>";
}

std::vector<double> DoublesOf(const std::shared_ptr<IPortData>& data) {
  const auto* numbers = dynamic_cast<const PortDataNumbers*>(data.get());
  if (numbers == nullptr || numbers->ToDoubleArray(true) == nullptr) return {};
  const double* values = numbers->ToDoubleArray(true);
  return {values, values + numbers->GetLength()};
}

std::vector<unsigned char> BytesOf(const std::shared_ptr<IPortData>& data) {
  const auto* mat = dynamic_cast<const PortDataMat*>(data.get());
  if (mat == nullptr || mat->GetData() == nullptr) return {};
  const auto* bytes = reinterpret_cast<const unsigned char*>(mat->GetData());
  return {bytes, bytes + mat->GetSize()};
}

zelph::Port* PortOf(IDataProcess& worker, zelph::PortType type, const std::string& name) {
  zelph::Port* port = worker.FindPortByName(type, name, false);
  EXPECT_NE(port, nullptr) << worker.ToString() << " has no port " << name;
  return port;
}

std::shared_ptr<IDataProcess> NewJavaWorker(const std::string& session, const std::string& name) {
  for (const auto& model : SimplePluginsManager::GetInstance()->GetModels(session)) {
    if (model->GetStructure().GetName() == name) {
      return model->CreateAndInitializeWorker(model, session);
    }
  }
  ADD_FAILURE() << "no model " << name << " in session " << session;
  return nullptr;
}

void OutputRecorder::OnChangeFlag(std::shared_ptr<IDataProcess> worker, int old_flags,
                                  int new_flags) {
  if (old_flags == 0 || new_flags != 0) return;  // only the end of a run
  std::scoped_lock lock(mutex_);
  for (zelph::Port* port : worker->FindPorts(zelph::PortType::output)) {
    outputs_[worker->GetId() + "/" + port->GetName()] = port->GetData();
  }
}

std::shared_ptr<IPortData> OutputRecorder::Output(const std::string& worker_id,
                                                  const std::string& port) const {
  std::scoped_lock lock(mutex_);
  const auto found = outputs_.find(worker_id + "/" + port);
  return found == outputs_.end() ? nullptr : found->second;
}

}  // namespace zelph::testing
