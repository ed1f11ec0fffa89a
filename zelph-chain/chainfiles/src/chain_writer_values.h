// chain_writer_values.h
//
// What both chain writers share: the execution-stage member, and the port data type uuid
// with its fallback for ports without a data type.
#pragma once

#include <string>

#include "zelph/model/data_type.h"
#include "zelph/model/execution_stage.h"

namespace zelph {

// The "execution_stage" text of a model that does not run at run time; empty for run time
// (the member is then left out).
std::string StageMemberText(ExecutionStage stage);

// The uuid text of `type`; "" with a warning for a port without a data type (a placeholder
// worker whose data type is not registered).
std::string DataTypeUuidText(const IDataType* type, const std::string& port_name);

}  // namespace zelph
