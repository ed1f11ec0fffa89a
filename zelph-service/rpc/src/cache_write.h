// cache_write.h
//
// A client's value into the project cache, as SetData stores input and output data.
#pragma once

#include <grpcpp/support/status.h>

#include <memory>
#include <string>

#include "message/rqrs2/SetData.pb.h"

namespace zelph {
class Project;
}  // namespace zelph

// Converts the value of `request.data()` into new port data (PortDataFromAnyData, which takes
// the bytes of an accepted matrix or number block out of the request) and stores it in the
// project cache under `key`, stamped now, in place of any entry of that key.
// Refused with nothing stored and the request's bytes left in place: INVALID_ARGUMENT "Data
// id required" when the data's own url is empty, and every refusal of the conversion.
grpc::Status StoreAnyDataInCache(const std::string& key,
                                 const std::shared_ptr<zelph::Project>& project,
                                 zelph::SetDataRequest& request);
