// channel_range_memo.cpp
//
// Look-up, scan and sweep of the per-run channel ranges.
#include "channel_range_memo.h"

#include <algorithm>
#include <utility>

namespace zelph {

std::vector<ChannelRange> ChannelRangeMemo::RangesOf(const std::shared_ptr<IPortData>& data,
                                                     const PortDataMat& mat) {
  const IPortData* key = data.get();
  {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(key);
    // While its entry's object lives, no other object can sit at its address.
    if (it != entries_.end() && !it->second.data.expired()) return it->second.ranges;
  }
  std::vector<ChannelRange> ranges = ScanChannelRanges(mat);
  std::lock_guard lock(mutex_);
  entries_.insert_or_assign(key, Entry{data, ranges});
  if (entries_.size() >= sweep_at_) {
    std::erase_if(entries_, [](const auto& entry) { return entry.second.data.expired(); });
    sweep_at_ = std::max(kFirstSweep, 2 * entries_.size());
  }
  return ranges;
}

void ChannelRangeMemo::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  sweep_at_ = kFirstSweep;
}

}  // namespace zelph
