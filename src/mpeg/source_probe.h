// The source probe: finds a split source's first frame header, its bit rate and bit rate
// index, and refuses files that cannot be split by bit rate arithmetic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "io/file.h"

namespace partwell {

enum class ProbeOutcome {
  kAccepted,
  kVariableBitRate,  // a "Xing" or "VBRI" marker in a scanned window
  kNotLayer3,        // the first frame header is not Layer III
  kInvalid,          // a read failed, or no frame header before the end of the file
  kCannotOpen,       // the file could not be opened (no message is shown for this)
};

struct ProbeResult {
  ProbeOutcome outcome = ProbeOutcome::kInvalid;
  int bitRate = 0;          // kbps
  int bitRateIndex = 0;     // 0 to 14
  uint64_t firstFrame = 0;  // byte position of the first frame header
};

// The size of a scan window and the number of positions tested in each: consecutive
// windows share 4 bytes, so every position is tested exactly once.
constexpr size_t kScanWindowBytes = 1004;
constexpr size_t kScanWindowPositions = 1000;

// Where the audio of a file may begin: after any ID3v2 tags in a row at its start. Nothing
// when the file's size cannot be read, or a read fails or ends before that size. Leaves the
// file position undefined.
std::optional<uint64_t> SkipLeadingId3v2Tags(File& file);

// Scans the open file from its start. On acceptance the file is positioned at the first
// frame header.
ProbeResult ProbeSource(File& file);
// Opens the file at `path` for reading, probes it and closes it.
ProbeResult ProbeSourceFile(const std::string& path);

// The message that refuses a file, or null for an accepted file and one that cannot be opened.
const char* ProbeRefusalText(ProbeOutcome outcome);
// The invalid-file message is information; the other refusals are warnings.
bool ProbeRefusalIsWarning(ProbeOutcome outcome);

}  // namespace partwell
