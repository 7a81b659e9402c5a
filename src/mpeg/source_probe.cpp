#include "mpeg/source_probe.h"

#include <cstring>

#include "mpeg/frame_header.h"
#include "mpeg/id3v2_header.h"

namespace partwell {
namespace {

bool HasVbrMarker(const unsigned char* window, size_t positions) {
  for (size_t i = 0; i < positions; ++i) {
    if (std::memcmp(window + i, "Xing", 4) == 0 || std::memcmp(window + i, "VBRI", 4) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::optional<uint64_t> SkipLeadingId3v2Tags(File& file) {
  const std::optional<uint64_t> size = file.Size();
  if (!size) return std::nullopt;
  unsigned char bytes[kId3v2HeaderBytes];
  for (uint64_t position = 0;;) {
    if (position >= *size || *size - position < sizeof bytes) return position;
    size_t got = 0;
    if (!file.Seek(position) || !file.Read(bytes, sizeof bytes, got) || got < sizeof bytes) {
      return std::nullopt;
    }
    std::optional<Id3v2Header> header = ParseId3v2Header(bytes, got);
    if (!header) return position;
    position += header->tagBytes();
  }
}

ProbeResult ProbeSource(File& file) {
  ProbeResult result;
  unsigned char window[kScanWindowBytes];
  const std::optional<uint64_t> audioStart = SkipLeadingId3v2Tags(file);
  if (!audioStart) return result;
  for (uint64_t scan = *audioStart;; scan += kScanWindowPositions) {
    size_t got = 0;
    if (!file.Seek(scan) || !file.Read(window, sizeof window, got) || got == 0) break;
    size_t positions = got >= 4 ? std::min(kScanWindowPositions, got - 3) : 0;
    if (HasVbrMarker(window, positions)) {
      result.outcome = ProbeOutcome::kVariableBitRate;
      return result;
    }
    for (size_t i = 0; i < positions; ++i) {
      uint32_t word = ReadBigEndian32(window + i);
      if (!IsFrameHeader(word)) continue;
      if (!HeaderIsLayer3(word)) {
        result.outcome = ProbeOutcome::kNotLayer3;
        return result;
      }
      result.firstFrame = scan + i;
      if (!file.Seek(result.firstFrame)) break;
      result.outcome = ProbeOutcome::kAccepted;
      result.bitRateIndex = HeaderBitRateIndex(word);
      result.bitRate = Layer3BitRate(word);
      return result;
    }
    if (got < sizeof window) break;
  }
  result.outcome = ProbeOutcome::kInvalid;
  return result;
}

ProbeResult ProbeSourceFile(const std::string& path) {
  File file = File::OpenForReading(path);
  if (!file.IsOpen()) {
    ProbeResult result;
    result.outcome = ProbeOutcome::kCannotOpen;
    return result;
  }
  return ProbeSource(file);
}

const char* ProbeRefusalText(ProbeOutcome outcome) {
  switch (outcome) {
    case ProbeOutcome::kVariableBitRate:
      return "The MP3 you have selected to split cannot be used because it is a VBR (variable "
             "bit rate) file.  Please only use MP3s with fixed bit rates.";
    case ProbeOutcome::kNotLayer3:
      return "The MP3 you have selected to split cannot be used because it is not an MPEG Layer "
             "III file.";
    case ProbeOutcome::kInvalid:
      return "The file you chose was either invalid, corrupted, or could not be opened at this "
             "time.";
    default:
      return nullptr;
  }
}

bool ProbeRefusalIsWarning(ProbeOutcome outcome) { return outcome != ProbeOutcome::kInvalid; }

}  // namespace partwell
