#include "split/track_time_list.h"

#include <algorithm>

#include "split/track_time.h"

namespace partwell {

bool TrackTimeList::AddTrackTime(std::unique_ptr<TrackEntry> entry) {
  std::optional<TimeParts> parts = ParseTimeText(entry->timeText);
  if (!parts) return false;
  entry->offset = TimeOffset(*parts);
  for (const auto& existing : entries_) {
    if (existing->offset == entry->offset) return false;
  }
  SetTimeText(*entry, FormatTimeText(*parts));
  if (entries_.empty() && entry->offset != 0) {
    auto marker = std::make_unique<TrackEntry>();
    SetTimeText(*marker, "000:00.00");
    entries_.push_back(std::move(marker));
  }
  auto at = std::upper_bound(
      entries_.begin(), entries_.end(), entry->offset,
      [](int32_t offset, const std::unique_ptr<TrackEntry>& e) { return offset < e->offset; });
  entries_.insert(at, std::move(entry));
  return true;
}

bool TrackTimeList::RemoveTrackTime(size_t index) {
  if (index >= entries_.size()) return false;
  if (entries_.size() >= 2 && entries_[index]->offset == 0) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

std::vector<TrackEntry> TrackTimeList::Snapshot() const {
  std::vector<TrackEntry> copy;
  copy.reserve(entries_.size());
  for (const auto& entry : entries_) copy.push_back(*entry);
  return copy;
}

}  // namespace partwell
