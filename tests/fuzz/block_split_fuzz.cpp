// Fuzz target for the source probe and the documented split, on memory files. The first bytes
// choose the track list, the rest is the source. Whatever the bytes, a source the probe
// accepts must split with success, leaving the source as it was; each track must end with
// the source's ID3v1 trailer (when it has one; with tags, one of its own after an ID3v2 tag
// numbered n/N), the audio of each after the first begin with a frame header of the source's
// bit rate, and the tracks' audio put together must be the source from its first frame to its
// end of audio, but for the counts of an Info header that track 1 begins with, which must be
// its own (a free-format source gives one track without audio). A broken promise aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "../mp3_walk.h"
#include "fuzz_support.h"
#include "mpeg/source_probe.h"

namespace {

using partwell::fuzz::Bytes;
using partwell::fuzz::Require;
namespace test = partwell::test;

void Put(Bytes& bytes, size_t at, uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i, value >>= 8)
    bytes[at + i] = static_cast<unsigned char>(value);
}

// The bytes of track 1 as the source gives them, with the counts of an Info header in its
// first frame made those of the track: its frames after the Info frame (where the track is
// whole frames back to back, as the tests' reader finds them; else as the track states them),
// its bytes, and the LAME extension's music length and tag CRC when its tag CRC held.
Bytes ExpectedFirstTrack(Bytes expected, const Bytes& track) {
  const size_t frameBytes = expected.size() >= 4 ? test::Layer3Bytes(expected.data()) : 0;
  if (frameBytes == 0) return expected;
  std::optional<test::WalkedHeader> header =
      test::ReadHeaderFrame(expected.data(), std::min(frameBytes, expected.size()));
  if (!header || header->marker != "Info") return expected;
  const test::WalkedFile walked = test::WalkMp3(track);
  const bool backToBack = walked.header && walked.firstFrame == 0 && walked.skipped == 0 &&
                          walked.framesEnd == track.size();
  if (header->framesField) {
    Put(expected, header->framesField,
        backToBack ? static_cast<uint32_t>(walked.frames.size())
                   : test::BigEndian(&track[header->framesField], 4),
        4);
  }
  if (header->bytesField) Put(expected, header->bytesField, static_cast<uint32_t>(track.size()), 4);
  if (header->lame && header->tagCrcHolds) {
    Put(expected, header->musicLengthField, static_cast<uint32_t>(track.size()), 4);
    Put(expected, header->tagCrcField, test::BitByBitCrc16(expected.data(), header->tagCrcField),
        2);
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partwell;
  if (size < fuzz::kSplitControlBytes) return 0;
  const Bytes source(data + fuzz::kSplitControlBytes, data + size);
  SplitJob job = fuzz::ControlledSplit(data, false);
  const std::vector<std::pair<std::string, Bytes>> files = {{job.sourcePath, source}};
  fuzz::StartFiles(files);
  const ProbeResult probe = ProbeSourceFile(job.sourcePath);
  fuzz::RequireSpared(files);
  if (probe.outcome != ProbeOutcome::kAccepted) return 0;
  job.bitRate = probe.bitRate;
  job.bitRateIndex = probe.bitRateIndex;
  job.firstFrame = probe.firstFrame;

  fuzz::QuietHost host;
  const JobReport report = RunSplit(job, host);
  Require(report.completed());
  fuzz::RequireSpared(files);
  const std::vector<Bytes> tracks = fuzz::FilesIn("/mem/out/");
  Require(tracks.size() == static_cast<size_t>(report.unitsDone) && !tracks.empty());

  std::vector<Bytes> audio;
  for (size_t i = 0; i < tracks.size(); ++i) {
    audio.push_back(fuzz::TrackAudio(tracks[i], source, job.tags ? i + 1 : 0, tracks.size()));
  }
  // Free format: blocks of no bytes, so one track of no audio.
  if (probe.bitRate == 0) {
    Require(audio.size() == 1 && audio[0].empty());
    return 0;
  }
  Bytes joined;
  for (size_t i = 0; i < audio.size(); ++i) {
    if (i > 0) {
      Require(audio[i].size() >= 4 && audio[i][0] == 0xFF && (audio[i][1] & 0xE0) == 0xE0 &&
              (audio[i][2] >> 4) == probe.bitRateIndex);
    }
    joined.insert(joined.end(), audio[i].begin(), audio[i].end());
  }
  const Bytes& first = audio[0];
  const size_t end = fuzz::EndOfAudio(source);
  const size_t start = std::min<size_t>(probe.firstFrame, end);
  Require(joined.size() == end - start);
  const auto firstEnd = source.begin() + static_cast<std::ptrdiff_t>(start + first.size());
  Require(first ==
          ExpectedFirstTrack(Bytes(source.begin() + static_cast<std::ptrdiff_t>(start), firstEnd),
                             first));
  Require(std::equal(joined.begin() + static_cast<std::ptrdiff_t>(first.size()), joined.end(),
                     firstEnd));
  return 0;
}
