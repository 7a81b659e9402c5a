#include "job/job_report.h"

namespace partwell {
namespace {

// A level search reads its source and writes nothing: its words are its own.
const char* LevelsOutcomeText(JobOutcome outcome) {
  switch (outcome) {
    case JobOutcome::kCompleted:
      return "The levels have been measured.";
    case JobOutcome::kCancelled:
      return "Listening has been cancelled.";
    case JobOutcome::kCannotOpen:
      return "The file could not be opened.";
    case JobOutcome::kNoAudio:
      return "The file you chose was either invalid, corrupted, or could not be opened at this "
             "time.";
    case JobOutcome::kDecoderFailed:
      return "The MP3 decoder could not be started.";
    default:
      return "There has been a file error while listening to the file.  Please try again.";
  }
}

}  // namespace

bool JobReport::FailFile(const std::string& path, const std::string& reason) {
  outcome = JobOutcome::kFileError;
  failedPath = path;
  failureReason = reason;
  return false;
}

const char* JobOutcomeText(JobKind kind, JobOutcome outcome) {
  if (kind == JobKind::kLevels) return LevelsOutcomeText(outcome);
  const bool split = kind == JobKind::kSplit;
  switch (outcome) {
    case JobOutcome::kCompleted:
      return split ? "Track creation completed successfully."
                   : "Track joining completed successfully.";
    case JobOutcome::kCancelled:
      return split ? "Track creation has been cancelled." : "";
    case JobOutcome::kInvalidTemplate:
      return "The destination name you gave contained invalid characters.  Please use another "
             "name.";
    case JobOutcome::kEqualSegmentsNeedOffset:
      return "If you are splitting all into equal segments, you must enter at least one offset. "
             "'0:00.00' is just a marker, not an offset.";
    case JobOutcome::kEmptyList:
      return "Before you split the MP3, you must enter track times into the track list.";
    case JobOutcome::kDestinationIsSource:
      return "The destination file is also one of the tracks to join.  Please choose another "
             "destination.";
    case JobOutcome::kFreeFormat:
      return "The MP3 you have selected is encoded in free format: its frame headers do not "
             "give their length, so it cannot be cut exactly.";
    case JobOutcome::kNotLayer3:
      return "The MP3 you have selected is MPEG Layer I or II: only Layer III files can be cut "
             "exactly.";
    case JobOutcome::kNoAudio:
      return "The file you chose holds no MPEG audio frame that can be decoded.";
    case JobOutcome::kRemovesEverything:
      return "The ranges to remove cover the whole file: nothing would be left.";
    case JobOutcome::kRangePastEnd:
      return "A range to remove starts at or after the end of the file's audio.";
    case JobOutcome::kCannotSmooth:
      return "Smooth joins need Layer III sources of one sampling rate and channel mode that "
             "each state their encoder delay and padding in a LAME tag.";
    case JobOutcome::kDecoderFailed:
    case JobOutcome::kCannotOpen:
    case JobOutcome::kFileError:
      break;
  }
  return split ? "There has been a file error while trying to create tracks.  Please try again."
               : "There has been a file error while trying to join tracks.  Please try again.";
}

}  // namespace partwell
