// The decoded levels of a whole source (see loudness_levels.h), measured by one worker per
// core: the source's frames are cut into stretches, and each worker decodes one stretch at a
// time, starting its decoder kStretchWarmUpFrames frames early so that the stretch's output
// is the single pass's to the last bit (the reservoir those frames borrow from is fed, and
// the transform's overlap and the synthesis filter bank are filled again). The levels reach
// the caller in order, a stretch at a time: memory does not grow with the recording.
//
// Only MPEG-1 stereo sources are cut into stretches; mono and MPEG-2 and 2.5 sources are
// decoded as one: libmpg123's output of their frames differs from the single pass in the
// last bit of a few samples even hundreds of frames after a decoder's start, so their
// levels would not be the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/job_host.h"
#include "job/job_report.h"
#include "mpeg/frame_header.h"

namespace partwell {

// Frames per stretch, and the frames decoded before a stretch to warm its decoder up: the
// largest reservoir (511 bytes of MPEG-1, 255 of MPEG-2 and 2.5) spans fewer than 12 frames
// of the smallest bit rates, and the overlap and the filter bank two more.
constexpr int kStretchFrames = 4096;
constexpr int kStretchWarmUpFrames = 32;

// Whether libmpg123, started kStretchWarmUpFrames frames before a frame of this header,
// gives from that frame on the samples of a decode from the file's start, to the last bit.
inline bool WarmsUpExactly(uint32_t header) {
  return HeaderVersion(header) == MpegVersion::kMpeg1 && !HeaderIsMono(header);
}

struct LevelWorkers {
  int count = 0;  // threads; 0: one per core
  // Frames per stretch, more than kStretchWarmUpFrames: the tests cut short sources small.
  int stretchFrames = kStretchFrames;
};

// Takes the levels in order.
class LevelSink {
 public:
  virtual ~LevelSink() = default;
  virtual void Take(const float* levels, size_t count) = 0;
};

// Measures the levels of the source at `path` on `workers.count` threads and gives them to
// `sink`, on the calling thread. The host is asked from the calling thread only:
// host.JobStarted() once the source holds audio, then UnitStarted(0); after each piece of
// the source a worker reads (64 KiB), UnitStarted(percent) when the share of the file read
// reaches a new whole percent and HaltRequested(), as the single pass asks them (and
// HaltRequested() every few milliseconds while no piece comes). The report is of kind kLevels.
JobReport MeasureDecodedLevels(const std::string& path, JobHost& host, LevelSink& sink,
                               const LevelWorkers& workers = {});

// The same, kept: the compact levels the Overview draws (4 bytes each, 1.4 MiB an hour).
JobReport MeasureDecodedLevels(const std::string& path, JobHost& host, std::vector<float>& levels,
                               const LevelWorkers& workers = {});

}  // namespace partwell
