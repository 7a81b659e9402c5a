// Fuzz target for the cut-out writer, on memory files. The first bytes choose the ranges,
// the rest is the source. Whatever the bytes, the cut must not touch memory it does not own,
// must end with a completed job or one of its refusals, leave the source as it was, and a
// file it writes must be an Info frame whose counts are those of the frames after it, then
// Layer III frames of the source's kind and whole, then the source's ID3v1 trailer when it
// has one. A broken promise aborts.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "fuzz_support.h"
#include "mpeg/frame_header.h"
#include "mpeg/info_header.h"
#include "split/cut_job.h"

namespace {

using partwell::JobOutcome;
using partwell::fuzz::Bytes;
using partwell::fuzz::Require;

// Byte 0: how many ranges (1 to 4) and keep (bit 2: the first range only is kept); then two
// bytes a range: its start and its length in hundredths, a length of 255
// running to the end.
constexpr size_t kControlBytes = 9;

partwell::CutJob ControlledCut(const uint8_t* controls) {
  partwell::CutJob job;
  job.sourcePath = "/mem/source.mp3";
  job.destination = "/mem/out/cut.mp3";
  const int count = 1 + (controls[0] & 3);
  for (int i = 0; i < count; ++i) {
    const int64_t start = controls[1 + 2 * i], length = controls[2 + 2 * i];
    partwell::TimeRange range{start, std::nullopt};
    if (length != 255) range.end = start + 1 + length;
    job.remove.push_back(range);
  }
  if (controls[0] & 4) job.keep = job.remove[0];
  return job;
}

void CheckCut(const Bytes& file) {
  Require(file.size() >= 4);
  const uint32_t first = partwell::ReadBigEndian32(&file[0]);
  const size_t infoBytes = static_cast<size_t>(partwell::FrameLength(first));
  Require(infoBytes > 0 && infoBytes <= file.size());
  std::optional<partwell::VbrHeader> info = partwell::ReadVbrHeader(file.data(), infoBytes);
  Require(info && info->kind != partwell::VbrHeaderKind::kVbri && info->lame &&
          info->lame->tagCrcHolds && info->frames && info->bytes);
  uint32_t frames = 0;
  for (size_t at = infoBytes; at < file.size(); ++frames) {
    Require(at + 4 <= file.size());
    const uint32_t header = partwell::ReadBigEndian32(&file[at]);
    const size_t length = static_cast<size_t>(partwell::FrameLength(header));
    Require(length > 0 && at + length <= file.size() && partwell::SameStream(header, first));
    at += length;
  }
  Require(frames >= 2 && *info->frames == frames && *info->bytes == file.size());
  Require(info->lame->delay <= 3000 && info->lame->padding <= 3000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partwell;
  if (size < kControlBytes) return 0;
  const Bytes source(data + kControlBytes, data + size);
  const CutJob job = ControlledCut(data);
  const std::vector<std::pair<std::string, Bytes>> files = {{job.sourcePath, source}};
  fuzz::StartFiles(files);
  fuzz::QuietHost host;
  const JobReport report = RunCut(job, host).report;
  Require(report.outcome == JobOutcome::kCompleted || report.outcome == JobOutcome::kFreeFormat ||
          report.outcome == JobOutcome::kNotLayer3 || report.outcome == JobOutcome::kNoAudio ||
          report.outcome == JobOutcome::kRemovesEverything ||
          report.outcome == JobOutcome::kRangePastEnd);
  fuzz::RequireSpared(files);
  const std::vector<Bytes> written = fuzz::FilesIn("/mem/out/");
  Require(written.size() == (report.completed() ? 1u : 0u));
  if (report.completed()) CheckCut(fuzz::TrackAudio(written[0], source, 0, 1));
  return 0;
}
