#include "split/track_output.h"

#include <vector>

#include "split/track_file.h"

namespace partwell {

bool TrackOutput::Begin(int index, const std::optional<FileIdentity>& source) {
  if (host_.HaltRequested()) {
    report_.outcome = JobOutcome::kCancelled;
    return false;
  }
  host_.UnitStarted(index + 1);
  index_ = index;
  tagBytes_ = 0;
  if (!CreateTrackFile(job_, pattern_, index, source, file_, name_, report_)) return false;
  const std::vector<unsigned char> tag = tagger_.LeadingTag(index);
  if (!file_.Write(tag.data(), tag.size())) return WriteFailed();
  tagBytes_ = tag.size();
  return true;
}

bool TrackOutput::WriteFailed() {
  return report_.FailFile(name_, SystemErrorText(file_.LastError()));
}

bool TrackOutput::SourceFailed(const File& source) {
  return report_.FailFile(job_.sourcePath, ReadFailureText(source));
}

}  // namespace partwell
