// channel_range_memo.h
//
// ChannelRangeMemo: the channel ranges of the matrices that one run has summarised, so that
// a matrix is scanned once however many ports hold it. Links pass one data object along (an
// output and the inputs it feeds hold the same matrix, and a pass-through worker puts out the
// matrix it got), and data is never changed once a worker has put it out, so the ranges of an
// object stay true while it lives.
//
// Entries hold their matrix weakly: the memo keeps no frame alive, and an entry whose matrix
// is gone never answers for a new matrix at the same address.
//
// Threading: any thread. The run's thread asks; the next run clears.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "channel_ranges.h"
#include "zelph/model/port_data.h"
#include "zelph/model/port_data_mat.h"

namespace zelph {

class ChannelRangeMemo {
 public:
  // The ranges of `mat`, which is the object `data` points to: remembered when this memo has
  // met the object since it was last cleared, scanned (outside the memo's lock) otherwise.
  std::vector<ChannelRange> RangesOf(const std::shared_ptr<IPortData>& data,
                                     const PortDataMat& mat);

  // Forgets every matrix.
  void Clear();

 private:
  struct Entry {
    std::weak_ptr<IPortData> data;
    std::vector<ChannelRange> ranges;
  };

  // Entries of matrices that are gone are dropped once the memo has doubled since the last
  // sweep, so that a run repeating many times stays small.
  static constexpr std::size_t kFirstSweep = 64;

  std::mutex mutex_;
  std::unordered_map<const IPortData*, Entry> entries_;
  std::size_t sweep_at_ = kFirstSweep;
};

}  // namespace zelph
