// setting_id.h
//
// Stable ids for the nodes and controls of a settings tree. A client keeps these ids
// across reloads of a project, so the same path text must give the same id on every
// build, on every machine and with every Boost release: the hash is the one written out
// for port ids (the 64-bit boost::hash_range mix of Boost 1.74), not boost::hash_range.
#pragma once

#include <string>
#include <string_view>

#include "zelph/chain/export.h"

// The uuid text of a path: the path's 64-bit hash as 8 bytes little-endian, then 8 zero
// bytes. "abc" gives 7b4ae415-c7b2-1b59-0000-000000000000; "" gives all zeros.
ZELPH_CHAIN_API std::string MakeSettingId(std::string_view text);
