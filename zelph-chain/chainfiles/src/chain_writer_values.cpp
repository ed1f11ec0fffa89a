// chain_writer_values.cpp
#include "chain_writer_values.h"

#include <boost/uuid/uuid_io.hpp>

#include "zelph/logger/client_text.h"
#include "zelph/logger/log.h"

namespace zelph {

std::string StageMemberText(ExecutionStage stage) {
  if (stage == ExecutionStage::kRunTime) return {};
  return ExecutionStageToString(stage);
}

std::string DataTypeUuidText(const IDataType* type, const std::string& port_name) {
  if (type == nullptr) {
    ZELPH_LOG(ZelphSeverityLevel::kWarning, "Port without data type: {}",
              QuoteClientText(port_name));
    return {};
  }
  return boost::uuids::to_string(type->GetUuid());
}

}  // namespace zelph
