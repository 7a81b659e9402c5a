// The levels of one stretch of a source's raw output, decoded from a frame where the
// stretch's decoder starts: the single pass measures the whole output as one stretch, the
// workers of MeasureDecodedLevels one stretch each.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/loudness_levels.h"
#include "io/file.h"
#include "job/job_host.h"
#include "job/job_report.h"
#include "mpeg/stream_scan.h"

namespace partwell {

// Who decides how a stretch's reading goes: a halt, and what has been read.
class FeedGate {
 public:
  virtual ~FeedGate() = default;
  // Asked before each read of the source.
  virtual bool HaltRequested() = 0;
  // `bytes` more have been read.
  virtual void Read(uint64_t bytes) = 0;
};

// A search's progress through a source of `size` bytes, for `host`: UnitStarted(0) at once,
// then each new whole percent of the bytes read, and 100 at the end.
class ReadProgress {
 public:
  ReadProgress(JobHost& host, uint64_t size) : host_(host), size_(size) { host_.UnitStarted(0); }
  void Read(uint64_t bytes) {
    read_ += bytes;
    const int reached = size_ > 0 ? static_cast<int>(std::min(read_, size_) * 100 / size_) : 100;
    if (reached > percent_) host_.UnitStarted(percent_ = reached);
  }
  void Finish() {
    if (percent_ != 100) host_.UnitStarted(100);
  }

 private:
  JobHost& host_;
  uint64_t size_;
  uint64_t read_ = 0;
  int percent_ = 0;
};

struct StretchLevels {
  JobOutcome outcome = JobOutcome::kNoAudio;
  std::string failureReason;
  std::vector<float> levels;
  WindowSum head;  // see LevelMeter
  WindowSum tail;
  bool outputEnded = false;  // the decoder's output ended before the stretch did
};

// Decodes `source` from byte `feedFrom`, whose decoded output begins at raw position
// stretch.fed, and measures the stretch. From byte 0 (the first stretch) a VBRI frame, which
// the decoder plays as a frame of silence, is left out of the raw output.
StretchLevels MeasureStretch(File& source, uint64_t feedFrom, const SourceTimeline& timeline,
                             const RawStretch& stretch, FeedGate& gate);

}  // namespace partwell
