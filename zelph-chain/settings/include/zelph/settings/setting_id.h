// setting_id.h
//
// Stable ids for the nodes and controls of a settings tree. A client keeps these ids
// across reloads of a project, so the same path text must give the same id on every
// build, on every machine and with every Boost release: the mix is written out here
// rather than taken from boost::hash_range, whose combining step changed after 1.74.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "zelph/chain/export.h"

// The 64-bit hash of a path text: per byte (sign-extended) the murmur-style mix of
// boost::hash_range as Boost 1.74 does it on 64-bit targets.
ZELPH_CHAIN_API std::uint64_t HashSettingPath(std::string_view text);

// The uuid text of a path: the hash's 8 bytes little-endian, then 8 zero bytes, in the
// usual 36-character lower-case form. "abc" gives 7b4ae415-c7b2-1b59-0000-000000000000.
ZELPH_CHAIN_API std::string MakeSettingId(std::string_view text);
