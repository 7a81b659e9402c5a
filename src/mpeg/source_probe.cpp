#include "mpeg/source_probe.h"

#include <cstring>

#include "mpeg/frame_header.h"

namespace partwell {
namespace {

constexpr size_t kId3v2HeaderBytes = 10;

// An ID3v2 header: "ID3", a version that is not 0xFF, flags, and a syncsafe size whose
// four bytes each leave the top bit clear.
bool ParseId3v2Header(const unsigned char* h, uint64_t& tagBytes) {
  if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF) return false;
  if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return false;
  uint64_t size = (uint64_t{h[6]} << 21) | (uint64_t{h[7]} << 14) | (uint64_t{h[8]} << 7) | h[9];
  bool hasFooter = (h[5] & 0x10) != 0;
  tagBytes = kId3v2HeaderBytes + size + (hasFooter ? kId3v2HeaderBytes : 0);
  return true;
}

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
  unsigned char header[kId3v2HeaderBytes];
  uint64_t tagBytes = 0;
  for (uint64_t position = 0;; position += tagBytes) {
    if (position >= *size || *size - position < sizeof header) return position;
    size_t got = 0;
    if (!file.Seek(position) || !file.Read(header, sizeof header, got) || got < sizeof header) {
      return std::nullopt;
    }
    if (!ParseId3v2Header(header, tagBytes)) return position;
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
