#include "split/track_file.h"

#include "split/track_naming.h"

namespace partwell {

bool CreateTrackFile(const SplitJob& job, const std::string& pattern, int index,
                     const std::optional<FileIdentity>& source, File& out, std::string& name,
                     JobReport& report) {
  const TrackEntry* entry =
      static_cast<size_t>(index) < job.entries.size() ? &job.entries[index] : nullptr;
  std::optional<std::string> path = MakeTrackFileName(pattern, job.sourcePath, entry, index);
  if (!path) {
    return report.FailFile(pattern, "the track's file name would be longer than 259 characters");
  }
  name = *path;
  if (WouldReplace(name, job.sourcePath, source)) {
    return report.FailFile(name, "the track's file would replace the source file");
  }
  out = File::CreateAlways(name);
  if (!out.IsOpen()) {
    return report.FailFile(name, SystemErrorText(out.LastError()));
  }
  return true;
}

}  // namespace partwell
