#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "io/file.h"
#include "mpeg/frame_header.h"
#include "mpeg/id3v1_trailer.h"
#include "mpeg/source_probe.h"
#include "mpeg/stream_scan.h"
#include "split/track_time.h"
#include "tags/chapters.h"
#include "tags/id3v2_reader.h"

namespace partwell::cli {
namespace {

int Failed(const std::string& path, const File& file) {
  std::fprintf(stderr, "%s: %s\n", path.c_str(), ReadFailureText(file).c_str());
  return kExitFailed;
}

// What the stream scan finds: the frames, the timeline's duration, and the encoder delay and
// padding when the source's tag states them for decoders to trim.
void PrintStream(const StreamScan& scan) {
  const int rate = SampleRate(scan.first.header);
  const uint64_t hundredths =
      (scan.timeline.length * 100 + static_cast<uint64_t>(rate / 2)) / static_cast<uint64_t>(rate);
  std::printf("Frames: %llu\n", static_cast<unsigned long long>(scan.audioFrames));
  std::printf("Duration: %s\n",
              FormatTimeText(TimePartsOfOffset(static_cast<int64_t>(hundredths))).c_str());
  if (scan.vbrHeader && scan.vbrHeader->lame && scan.vbrHeader->lame->trusted) {
    std::printf("Encoder Delay: %d\n", scan.timeline.delay);
    std::printf("Encoder Padding: %d\n", scan.timeline.padding);
  }
}

int Probe(const std::string& path) {
  File file = File::OpenForReading(path);
  if (!file.IsOpen()) return Failed(path, file);
  ProbeResult probe = ProbeSource(file);
  // A variable-bit-rate source is reported (the exact split takes it); the bit rate index
  // that the documented split works from is then left out.
  const bool variable = probe.outcome == ProbeOutcome::kVariableBitRate;
  if (probe.outcome != ProbeOutcome::kAccepted && !variable) {
    std::fprintf(stderr, "%s\n", ProbeRefusalText(probe.outcome));
    return kExitFailed;
  }
  std::optional<AudioExtent> extent = FindAudioExtent(file);
  if (!extent) return Failed(path, file);
  StreamScan scan;
  StreamScanOutcome scanned = ScanStream(file, scan);
  if (scanned == StreamScanOutcome::kReadFailed) return Failed(path, file);
  if (variable && scanned == StreamScanOutcome::kNoFrames) {
    std::fprintf(stderr, "%s\n", ProbeRefusalText(ProbeOutcome::kInvalid));
    return kExitFailed;
  }
  if (variable) {
    std::printf("Bit Rate: VBR\n");
  } else {
    std::printf("Bit Rate: %d kbps\n", probe.bitRate);
    std::printf("Bit Rate Index: %d\n", probe.bitRateIndex);
  }
  uint64_t firstFrame = variable ? scan.first.position : probe.firstFrame;
  std::printf("First Frame: %llu\n", static_cast<unsigned long long>(firstFrame));
  std::printf("Trailer: %s\n", extent->hasTrailer ? "yes" : "no");
  std::printf("End Of Audio: %llu\n", static_cast<unsigned long long>(extent->endOfAudio));
  // A free-format stream has no frame whose length its header gives.
  if (scanned == StreamScanOutcome::kScanned) PrintStream(scan);
  std::optional<SourceTags> tags = ReadSourceTags(file);
  if (!tags) return Failed(path, file);
  ChapterList chapters = ReadChapters(tags->id3v2);
  if (!chapters.chapters.empty()) PrintChapters(chapters);
  return kExitDone;
}

}  // namespace

void AddProbeCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand(
      "probe",
      "Shows what a split would use of FILE: bit rate, first frame, trailer, frames, duration, "
      "chapters.");
  auto path = std::make_shared<std::string>();
  command->add_option("FILE", *path, "The MP3 file to look at")->required();
  command->footer("Example:\n  mp3partwell probe concert.mp3");
  command->callback([path, &exitCode] { exitCode = Probe(*path); });
}

}  // namespace partwell::cli
