// statistic.cpp
//
// BaseStatistic's stored values and interface lookup.
#include "zelph/model/statistic.h"

#include "zelph/model/data_type.h"
#include "zelph/model/uuid.h"

constinit const boost::uuids::uuid IStatistic::kInterfaceId =
    zelph::UuidFromText("c89575ad-ecdb-41a1-a5d0-0c34cd2a5e99");

BaseStatistic::~BaseStatistic() { delete[] error_; }

void BaseStatistic::SetExecutionTime(double time, TimeUnit unit) {
  execution_time_ = time;
  time_unit_ = unit;
}

void BaseStatistic::SetError(const char* error) { zelph::StrCpy(error_, error); }

int BaseStatistic::QueryInterface(const boost::uuids::uuid& interface_id, void** out) {
  if (interface_id != kInterfaceId) return 1;
  AddRef();
  *out = static_cast<IStatistic*>(this);
  return 0;
}
