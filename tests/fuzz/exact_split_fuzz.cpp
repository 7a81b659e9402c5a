// Fuzz target for the exact split, on memory files. The first bytes choose the track list,
// the rest is the source. Whatever the bytes, the split must not touch memory it does not
// own, must end with a completed job or one of its refusals, leave the source as it was, and
// every track it writes must be an Info frame whose counts are those of the frames after it,
// then frames that are each a frame of the source or a silent reservoir frame, then the
// source's ID3v1 trailer when it has one. With tags, an ID3v2 tag comes first, whose track
// number is "n/N" with N the number of tracks written, and the trailer is the track's own.
// A broken promise aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fuzz_support.h"
#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "mpeg/side_info.h"

namespace {

using partwell::JobOutcome;
using partwell::fuzz::Bytes;
using partwell::fuzz::Require;

bool Contains(const Bytes& haystack, const unsigned char* needle, size_t length) {
  return std::search(haystack.begin(), haystack.end(), needle, needle + length) != haystack.end();
}

// A reservoir frame: all-zero side information (and its CRC when it has one).
bool IsReservoirFrame(const unsigned char* frame) {
  uint32_t header = partwell::ReadBigEndian32(frame);
  const unsigned char* side = frame + (partwell::HeaderHasCrc(header) ? 6 : 4);
  int sideBytes = partwell::Layer3SideInfoBytes(header);
  if (std::any_of(side, side + sideBytes, [](unsigned char b) { return b != 0; })) return false;
  return !partwell::HeaderHasCrc(header) ||
         partwell::FrameCrc(frame) == ((frame[4] << 8) | frame[5]);
}

// `track` less its tags and trailer.
void CheckTrack(const Bytes& track, const Bytes& source) {
  Require(track.size() >= 4);
  const size_t end = track.size();
  size_t infoBytes =
      static_cast<size_t>(partwell::FrameLength(partwell::ReadBigEndian32(&track[0])));
  Require(infoBytes > 0 && infoBytes <= end);
  std::optional<partwell::VbrHeader> info = partwell::ReadVbrHeader(track.data(), infoBytes);
  Require(info && info->kind != partwell::VbrHeaderKind::kVbri && info->lame &&
          info->lame->tagCrcHolds && info->frames && info->bytes);
  uint32_t frames = 0;
  for (size_t at = infoBytes; at < end; ++frames) {
    Require(at + 4 <= end);
    size_t length =
        static_cast<size_t>(partwell::FrameLength(partwell::ReadBigEndian32(&track[at])));
    Require(length > 0 && at + length <= end);
    Require(Contains(source, &track[at], length) || IsReservoirFrame(&track[at]));
    at += length;
  }
  Require(*info->frames == frames && *info->bytes == end);
  Require(info->lame->delay <= 3000 && info->lame->padding <= 3000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partwell;
  if (size < fuzz::kSplitControlBytes) return 0;
  const Bytes source(data + fuzz::kSplitControlBytes, data + size);
  const SplitJob job = fuzz::ControlledSplit(data, true);
  const std::vector<std::pair<std::string, Bytes>> files = {{job.sourcePath, source}};
  fuzz::StartFiles(files);
  fuzz::QuietHost host;
  JobReport report = RunSplit(job, host);
  Require(report.outcome == JobOutcome::kCompleted || report.outcome == JobOutcome::kFreeFormat ||
          report.outcome == JobOutcome::kNotLayer3 || report.outcome == JobOutcome::kNoAudio);
  fuzz::RequireSpared(files);
  const std::vector<Bytes> tracks = fuzz::FilesIn(job.folder);
  Require(tracks.size() == static_cast<size_t>(report.unitsDone));
  for (size_t i = 0; i < tracks.size(); ++i) {
    CheckTrack(fuzz::TrackAudio(tracks[i], source, job.tags ? i + 1 : 0, tracks.size()), source);
  }
  return 0;
}
