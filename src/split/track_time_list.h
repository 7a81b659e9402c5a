// The track time list: cut points in ascending order of offset, no two alike, whose first
// entry always has offset 0 once the list is not empty. The Split page's list box mirrors
// it line by line and holds pointers to its entries: an entry keeps its address for as
// long as it is in the list.
#pragma once

#include <memory>
#include <vector>

#include "split/track_entry.h"

namespace partwell {

class TrackTimeList {
 public:
  // Parses the entry's raw time text and adds the entry in order, putting the zero
  // marker "000:00.00" ahead of the first non-zero time. Returns false, and drops the
  // entry, when the text is invalid or its offset is already in the list.
  bool AddTrackTime(std::unique_ptr<TrackEntry> entry);
  // Removes the entry at `index`, except the offset-0 entry while others exist.
  // Returns false when nothing was removed.
  bool RemoveTrackTime(size_t index);
  void ClearTrackList() { entries_.clear(); }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  TrackEntry& operator[](size_t index) { return *entries_[index]; }
  const TrackEntry& operator[](size_t index) const { return *entries_[index]; }
  // The entries by value, in order: what a split job works from.
  std::vector<TrackEntry> Snapshot() const;

 private:
  std::vector<std::unique_ptr<TrackEntry>> entries_;
};

}  // namespace partwell
