// The cut-out job: the source's timeline less a set of ranges, written as one file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/job_host.h"
#include "job/job_report.h"
#include "split/cut_plan.h"
#include "split/cut_writer.h"
#include "split/seam_repair.h"
#include "split/split_job.h"

namespace partwell {

struct CutJob {
  std::string sourcePath;
  std::string destination;
  std::vector<TimeRange> remove;
  std::optional<TimeRange> keep;  // besides `remove`, everything outside this range goes
  bool tags = false;              // the file keeps the source's ID3v2 tag
  bool smooth = false;            // inner ranges become smooth seams (smooth_seam.h)
  int crossfadeMs = 5;            // of a smooth seam
};

struct CutResult {
  JobReport report;
  int sampleRate = 0;
  CutSource source;
  CutPlan plan;
  std::vector<SeamRepair> repairs;  // one per seam of the plan, once written
  std::vector<MadeSpan> made;       // with --smooth: one per seam of the plan
};

// Writes the file. The source is never written; a destination that is the source is refused.
CutResult RunCut(const CutJob& job, JobHost& host);

// `ranges` in timeline samples at `rate`, of a timeline `length` samples long.
std::vector<SampleRange> RangeSamples(const std::vector<TimeRange>& ranges, int rate,
                                      int64_t length);

}  // namespace partwell
