#include "split/track_file.h"

#include "split/track_naming.h"

#include <algorithm>

namespace partwell {
namespace {

bool IsOtherSource(const SplitJob& job, const std::string& name) {
  if (job.otherSources.empty()) return false;
  std::optional<FileIdentity> identity = IdentifyPath(name);
  return identity && std::find(job.otherSources.begin(), job.otherSources.end(), *identity) !=
                         job.otherSources.end();
}

}  // namespace

const char* SourceReplacedBy(const SplitJob& job, const std::string& name,
                             const std::optional<FileIdentity>& source) {
  if (WouldReplace(name, job.sourcePath, source)) {
    return "the track's file would replace the source file";
  }
  if (IsOtherSource(job, name)) return "the track's file would replace another source file";
  return nullptr;
}

bool CreateTrackFile(const SplitJob& job, const std::string& pattern, int index,
                     const std::optional<FileIdentity>& source, File& out, std::string& name,
                     JobReport& report) {
  const TrackEntry* entry =
      static_cast<size_t>(index) < job.entries.size() ? &job.entries[index] : nullptr;
  std::optional<std::string> path = MakeTrackFileName(pattern, job.sourcePath, entry, index);
  if (!path) {
    return report.FailFile(pattern, "the track's file name would be longer than " +
                                        std::to_string(kMaxPathChars) + " characters");
  }
  name = *path;
  if (const char* refusal = SourceReplacedBy(job, name, source)) {
    return report.FailFile(name, refusal);
  }
  out = File::CreateAlways(name);
  if (!out.IsOpen()) {
    return report.FailFile(name, SystemErrorText(out.LastError()));
  }
  return true;
}

}  // namespace partwell
