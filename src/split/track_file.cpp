#include "split/track_file.h"

#include "split/track_naming.h"

namespace partwell {

void RecordFileError(JobReport& report, const std::string& path, const std::string& reason) {
  report.outcome = JobOutcome::kFileError;
  report.failedPath = path;
  report.failureReason = reason;
}

bool CreateTrackFile(const SplitJob& job, const std::string& pattern, int index,
                     const std::optional<FileIdentity>& source, File& out, std::string& name,
                     JobReport& report) {
  const TrackEntry* entry =
      static_cast<size_t>(index) < job.entries.size() ? &job.entries[index] : nullptr;
  std::optional<std::string> path = MakeTrackFileName(pattern, job.sourcePath, entry, index);
  if (!path) {
    RecordFileError(report, pattern, "the track's file name would be longer than " +
                                         std::to_string(kMaxPathChars) + " characters");
    return false;
  }
  name = *path;
  // A path that cannot be identified (no such file, or a failed look) is still the source's
  // by its spelling.
  if (name == job.sourcePath || (source && IdentifyPath(name) == source)) {
    RecordFileError(report, name, "the track's file would replace the source file");
    return false;
  }
  out = File::CreateAlways(name);
  if (!out.IsOpen()) {
    RecordFileError(report, name, SystemErrorText(out.LastError()));
    return false;
  }
  return true;
}

}  // namespace partwell
