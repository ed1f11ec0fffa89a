// setting_id.cpp
//
// The settings-id hash and its uuid text.
#include "zelph/settings/setting_id.h"

#include <array>

std::uint64_t HashSettingPath(std::string_view text) {
  constexpr std::uint64_t kMultiplier = 0xc6a4a7935bd1e995ULL;
  constexpr std::uint64_t kAddend = 0xe6546b64ULL;
  std::uint64_t hash = 0;
  for (const char c : text) {
    // Characters are signed on the platforms the ids were first made on; widen with sign.
    auto k = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<signed char>(c)));
    k *= kMultiplier;
    k ^= k >> 47;
    k *= kMultiplier;
    hash ^= k;
    hash *= kMultiplier;
    hash += kAddend;
  }
  return hash;
}

std::string MakeSettingId(std::string_view text) {
  const std::uint64_t hash = HashSettingPath(text);
  std::array<unsigned char, 16> bytes{};
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<unsigned char>(hash >> (8 * i));
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  id.reserve(36);
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) id += '-';
    id += kHex[bytes[i] >> 4];
    id += kHex[bytes[i] & 0x0f];
  }
  return id;
}
