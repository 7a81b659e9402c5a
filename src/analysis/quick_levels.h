// Quick levels: a picture of a source's loudness from its compressed stream alone, without
// decoding it. Each Layer III granule (576 samples) gets a level from its side information:
// the global gain, the largest value its Huffman tables can code and the subblock gains of
// short blocks. It is for drawing: it follows the decoded level of loud music within a few
// decibels but reads quiet noise too loud, so the silence search never uses it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/job_host.h"
#include "job/job_report.h"

namespace partwell {

constexpr int kGranuleSamples = 576;

struct QuickLevels {
  int sampleRate = 0;
  uint64_t timelineLength = 0;  // samples, as the exact split's timeline counts them
  // The timeline sample where entry 0 begins; the first entries may begin before the
  // timeline (the encoder's delay), the last ones after it.
  int64_t firstSample = 0;
  std::vector<float> levelsDb;  // one per granule, kSilenceFloorDb at the quietest

  // The timeline sample where entry `i` begins; each covers kGranuleSamples samples.
  int64_t SampleOf(size_t i) const {
    return firstSample + static_cast<int64_t>(i) * kGranuleSamples;
  }
};

// Reads the quick levels of the source at `path`: every Layer III source the exact split
// accepts (CBR or VBR, MPEG-1, 2 or 2.5, mono or stereo, with CRCs, tagged), in one pass of
// the file in bounded memory. Asks host.HaltRequested() and reports whole percents of the
// file read through host.UnitStarted(percent) as the silence search does, after calling
// host.JobStarted() once the source is open. The report is of kind kLevels.
JobReport MeasureQuickLevels(const std::string& path, JobHost& host, QuickLevels& levels);

}  // namespace partwell
