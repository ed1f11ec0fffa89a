// made_port_id.h
//
// The id the compact chain writer gives a port that the model describes but the worker
// lacks. It depends only on the worker's uuid, the port kind and the port name, so writing
// a chain twice gives the same ids, and it is the id the worker would derive for such a
// port itself.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <string>
#include <string_view>

namespace zelph {

// Bytes 0-3 of the worker uuid, the kind as 32-bit little-endian, the port-name hash as
// 64-bit little-endian; as lower-case uuid text.
std::string MakePortId(const boost::uuids::uuid& worker, int kind, std::string_view name);

}  // namespace zelph
