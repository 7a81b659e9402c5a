// The split engine: cuts a source into track files in one of two modes.
// - In blocks (the plain split): a constant-bit-rate source by bit rate arithmetic. One hundredth
// of a second
//   is one block of kbps x 10 / 8 bytes; after its blocks each track runs on to the next
//   frame header with the source's bit rate index, so that the next track begins on a frame.
// - Exact: constant or variable bit rate, cut to the sample and gapless (exact_split.h).
// In both, the source's ID3v1 trailer ends every track; with tags, each track begins with
// an ID3v2 tag and ends with a trailer of its own (track_tagger.h).
#pragma once

#include "job/job_host.h"
#include "job/job_report.h"
#include "split/split_job.h"

namespace partwell {

// The checks a split makes of its job before it reads the source: kCompleted when they pass,
// else the refusal (a name template with a character names may not hold, equal segments
// without an entry after 0:00.00, no entry).
JobOutcome CheckSplitJob(const SplitJob& job);

// The host is asked for a halt before each track and told of each track as it begins.
JobReport RunSplit(const SplitJob& job, JobHost& host);

}  // namespace partwell
