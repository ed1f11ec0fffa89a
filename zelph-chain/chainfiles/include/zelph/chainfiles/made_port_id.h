// made_port_id.h
//
// The id the compact chain writer gives a port that the model describes but the worker
// lacks. It depends only on the worker's uuid, the port kind and the port name, so writing
// a chain twice gives the same ids. The hash is written out here rather than taken from
// boost::hash, whose algorithm changed between Boost releases: stored chain files would
// otherwise change their ids with a library upgrade.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace zelph {

// Boost 1.74's 64-bit hash_combine over the name's bytes, each sign-extended.
std::uint64_t HashPortName(std::string_view name);

// Bytes 0-3 of the worker uuid, the kind as 32-bit little-endian, the name hash as 64-bit
// little-endian; as lower-case uuid text.
std::string MakePortId(const boost::uuids::uuid& worker, int kind, std::string_view name);

}  // namespace zelph
