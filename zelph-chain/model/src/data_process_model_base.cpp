// data_process_model_base.cpp
//
// Models: worker creation and the description and session accessors.
#include "zelph/model/data_process_model_base.h"

#include <boost/uuid/string_generator.hpp>

#include <algorithm>
#include <cctype>
#include <exception>

#include "zelph/config/config_log.h"
#include "zelph/model/data_process.h"
#include "zelph/model/data_process_unknown.h"
#include "zelph/model/uuid.h"

namespace zelph {

std::string ToLower(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

}  // namespace zelph

DataProcessModelBase::DataProcessModelBase(DataProcessFactory factory)
    : IDataProcessModel(factory) {}

std::shared_ptr<IDataProcessModel> DataProcessModelBase::Create(DataProcessFactory factory) {
  return std::shared_ptr<IDataProcessModel>(new DataProcessModelBase(factory));
}

std::shared_ptr<IDataProcess> DataProcessModelBase::CreateAndInitializeWorker(
    std::shared_ptr<IDataProcessModel> model, const std::string& worker_id,
    const std::string& session_id) {
  // A bad id or a failing random source reaches the caller: no worker is made.
  const boost::uuids::uuid id =
      worker_id.empty() ? zelph::NewUuid() : boost::uuids::string_generator()(worker_id);
  try {
    std::shared_ptr<IDataProcess> worker = factory_(id);
    worker->SetSessionId(session_id);
    worker->SetDataProcessModel(std::move(model));
    worker->Initialize();
    worker->InitializeParameters();
    worker->InitializeDefaultPorts();
    return worker;
  } catch (const std::exception& e) {
    ZELPH_CONFIG_LOG(ZelphSeverityLevel::kError, "{}", e.what());
    return nullptr;
  }
}

std::shared_ptr<IDataProcess> DataProcessModelBase::CreateAndInitializeWorker(
    std::shared_ptr<IDataProcessModel> model, const std::string& session_id) {
  return CreateAndInitializeWorker(std::move(model), std::string(), session_id);
}

boost::uuids::uuid DataProcessModelBase::GetType() {
  return boost::uuids::string_generator()(GetId());
}

std::string DataProcessModelBase::GetId() { return structure_.GetUuid(); }

void DataProcessModelBase::SetStructure(zelph::BaseModelStructure&& structure) {
  structure_ = std::move(structure);
}

void DataProcessModelBase::ApplyParent(const zelph::BaseModelStructure& parent) {
  structure_.ApplyParent(parent);
}

void DataProcessModelBase::SetSessionId(const std::string& session_id) {
  session_id_ = zelph::ToLower(session_id);
}

DataProcessModelUnknown::DataProcessModelUnknown()
    : DataProcessModelBase(&CreateDataProcessUnknown) {}
