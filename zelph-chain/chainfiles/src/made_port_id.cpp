// made_port_id.cpp
#include "zelph/chainfiles/made_port_id.h"

#include <boost/uuid/uuid_io.hpp>

#include <cstdint>

#include "zelph/model/port.h"

namespace zelph {

std::string MakePortId(const boost::uuids::uuid& worker, int kind, std::string_view name) {
  boost::uuids::uuid id{};
  for (int i = 0; i < 4; ++i) id.data[i] = worker.data[i];
  const auto kind_bits = static_cast<std::uint32_t>(kind);
  for (int i = 0; i < 4; ++i) id.data[4 + i] = static_cast<std::uint8_t>(kind_bits >> (8 * i));
  const std::uint64_t hash = HashPortName(name);
  for (int i = 0; i < 8; ++i) id.data[8 + i] = static_cast<std::uint8_t>(hash >> (8 * i));
  return boost::uuids::to_string(id);
}

}  // namespace zelph
