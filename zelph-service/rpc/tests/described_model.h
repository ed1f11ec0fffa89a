// described_model.h
//
// A model whose description reaches every branch of the model messages: all its texts, tags
// out of order, every published option bit and two unpublished ones, a port of each of the
// five port types, a control of each edition kind, and two controls that clients never see
// (edition kind 0, and an empty value type name).
#pragma once

#include <memory>
#include <string>

#include "message/datatype/datatype.pb.h"
#include "zelph/model/data_process_model.h"

namespace zelph::testing {

inline constexpr char kDescribedModelId[] = "de5c0000-0000-4000-8000-000000000001";
inline constexpr char kDescribedModelName[] = "Described";

// A new model; its workers do nothing.
std::shared_ptr<IDataProcessModel> MakeDescribedModel();

// Registers one described model with the process-wide plug-in manager (once per process),
// where chains find it by kDescribedModelId.
void RegisterDescribedModel();

// A chain of one worker of the described model, system name "described", id
// kDescribedWorkerId.
inline constexpr char kDescribedWorkerId[] = "de5c0000-0000-4000-8000-0000000000a1";
std::string DescribedChainJson();

// The GModel of the model's description, with the ports and the six controls it publishes.
GModel DescribedGModel();

}  // namespace zelph::testing
