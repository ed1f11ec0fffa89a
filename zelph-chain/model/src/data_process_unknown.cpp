// data_process_unknown.cpp
//
// The placeholder worker and its factory.
#include "zelph/model/data_process_unknown.h"

#include <fmt/format.h>

#include "zelph/logger/client_text.h"
#include "zelph/model/data_process_model.h"

namespace {

// What a client sees as the placeholder's visible results: a minimal description with one
// output port.
constexpr char kDefaultDescription[] =
    "{\n"
    "\t\t\"model_name\": \"default\",\n"
    "\t\t\"version\": \"1.0\",\n"
    "\t\t\"ports\": [\n"
    "\t\t\t{\n"
    "\t\t\t\t\"port_name\": \"output\",\n"
    "\t\t\t\t\"port_type\": \"output\"\n"
    "\t\t\t}\n"
    "\t\t]\n"
    "\t}";

}  // namespace

DataProcessUnknown::DataProcessUnknown(const boost::uuids::uuid& id)
    : IDataProcess(id), default_description_(kDefaultDescription) {}

void DataProcessUnknown::ExecuteImpl(zelph::ExecutionStage) {
  IDataProcessModel* model = GetDataProcessModel();
  SetError(ErrorKind::kExecution,
           fmt::format("Executor not found\nExecutor name: \"{}\"\nExecutor ID: {}\nBlock ID: {}",
                       zelph::QuoteClientText(GetName()),
                       zelph::QuoteClientText(model ? model->GetId() : std::string()),
                       zelph::QuoteClientText(GetId())),
           "", "");
}

std::shared_ptr<IDataProcess> CreateDataProcessUnknown(const boost::uuids::uuid& id) {
  return std::make_shared<DataProcessUnknown>(id);
}
