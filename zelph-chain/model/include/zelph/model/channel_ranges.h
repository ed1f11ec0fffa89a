// channel_ranges.h
//
// The smallest and largest value of every channel of a matrix, found in one pass over its
// buffer. PortDataMat::GetChannelMinMax walks the buffer once per channel; a statistic asks
// for all channels of every matrix a worker puts out, so for a three-channel image this
// reads the buffer once instead of three times. The results equal what GetChannelMinMax
// gives channel by channel (called with -1 for both values), NaN included: a channel whose
// first value is NaN reads NaN, later NaN values are passed over.
//
// Readers ask the matrix (PortDataMat::GetChannelRanges), which scans once and remembers.
#pragma once

#include <vector>

#include "zelph/chain/export.h"

class PortDataMat;

namespace zelph {

struct ChannelRange {
  double min;
  double max;
};

// One range per channel (GetChannels() of them, none for a count below 1); -1 and -1 for a
// channel that has no value within the buffer, and for every channel of an empty matrix.
ZELPH_CHAIN_API std::vector<ChannelRange> ScanChannelRanges(const PortDataMat& mat);

}  // namespace zelph
