// uuid.h
//
// The one source of new random uuids for workers, links, sessions and plug-ins, and a
// compile-time reader of the text form for the fixed uuids the system publishes.
#pragma once

#include <boost/uuid/uuid.hpp>

#include <cstdint>
#include <string>
#include <string_view>

#include "zelph/chain/export.h"

namespace zelph {

// A version-4 uuid from the kernel's random source. Safe from any thread (each thread
// keeps its own generator). Throws boost::uuids::entropy_error when the source fails.
ZELPH_CHAIN_API boost::uuids::uuid NewUuid();

// NewUuid() in its 36-character lowercase text form.
ZELPH_CHAIN_API std::string NewUuidText();

namespace detail {

consteval std::uint8_t HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
  throw "not a hexadecimal digit";  // a compile error, since this only runs at compile time
}

}  // namespace detail

// The uuid written as "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx"; a malformed text does not
// compile. Lets constant uuids be written in their usual form and still be
// constant-initialised (no load-order dependency).
consteval boost::uuids::uuid UuidFromText(std::string_view text) {
  if (text.size() != 36) throw "a uuid text has 36 characters";
  boost::uuids::uuid uuid{};
  std::size_t byte = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') throw "dash expected";
      ++i;
      continue;
    }
    uuid.data[byte++] = static_cast<std::uint8_t>(detail::HexDigitValue(text[i]) << 4 |
                                                  detail::HexDigitValue(text[i + 1]));
    i += 2;
  }
  return uuid;
}

}  // namespace zelph
