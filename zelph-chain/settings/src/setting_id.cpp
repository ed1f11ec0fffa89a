// setting_id.cpp
//
// Settings ids from path texts.
#include "zelph/settings/setting_id.h"

#include <boost/uuid/uuid.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <cstdint>

#include "zelph/model/port.h"

std::string MakeSettingId(std::string_view text) {
  const std::uint64_t hash = zelph::HashPortName(text);
  boost::uuids::uuid id{};
  for (int i = 0; i < 8; ++i) id.data[i] = static_cast<std::uint8_t>(hash >> (8 * i));
  return boost::uuids::to_string(id);
}
