// made_port_id.cpp
#include "zelph/chainfiles/made_port_id.h"

#include <boost/uuid/uuid_io.hpp>

namespace zelph {

std::uint64_t HashPortName(std::string_view name) {
  constexpr std::uint64_t kMultiplier = 0xC6A4A7935BD1E995ULL;
  std::uint64_t hash = 0;
  for (char c : name) {
    std::uint64_t k =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<signed char>(c))) *
        kMultiplier;
    k ^= k >> 47;
    k *= kMultiplier;
    hash ^= k;
    hash *= kMultiplier;
    hash += 0xE6546B64ULL;
  }
  return hash;
}

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
