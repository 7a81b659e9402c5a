#include "join/join_engine.h"

#include <optional>

#include "io/buffered_source.h"
#include "io/file.h"
#include "mpeg/id3v1_trailer.h"

namespace partwell {
namespace {

constexpr size_t kCopyBufferBytes = 1 << 20;

JobReport Failed(JobReport result, const std::string& path, const std::string& reason) {
  result.outcome = JobOutcome::kFileError;
  result.failedPath = path;
  result.failureReason = reason;
  return result;
}

}  // namespace

JobReport RunJoin(const std::string& destination, const std::vector<std::string>& sources,
                  JobHost& host) {
  JobReport result;
  result.kind = JobKind::kJoin;
  // Creating the destination empties it: it must not be one of the sources, by any name.
  if (std::optional<FileIdentity> existing = IdentifyPath(destination)) {
    for (const std::string& source : sources) {
      if (IdentifyPath(source) == existing) {
        result.outcome = JobOutcome::kDestinationIsSource;
        return result;
      }
    }
  }
  File out = File::CreateAlways(destination);
  if (!out.IsOpen()) return Failed(result, destination, SystemErrorText(out.LastError()));
  host.JobStarted();
  result.jobStarted = true;

  for (size_t i = 0; i < sources.size(); ++i) {
    if (host.HaltRequested()) {
      result.outcome = JobOutcome::kCancelled;
      if (!out.Close()) return Failed(result, destination, SystemErrorText(out.LastError()));
      return result;
    }
    File source = File::OpenForReading(sources[i]);
    if (!source.IsOpen()) return Failed(result, sources[i], SystemErrorText(source.LastError()));
    host.UnitStarted(static_cast<int>(i) + 1);
    // A source shorter than 128 bytes has no trailer and is copied whole.
    std::optional<AudioExtent> extent = FindAudioExtent(source);
    if (!extent) return Failed(result, sources[i], ReadFailureText(source));
    BufferedSource reader(source, extent->endOfAudio, kCopyBufferBytes);
    bool readFailed = false;
    if (!reader.CopyTo(out, 0, extent->endOfAudio, readFailed)) {
      return readFailed ? Failed(result, sources[i], ReadFailureText(source))
                        : Failed(result, destination, SystemErrorText(out.LastError()));
    }
    ++result.unitsDone;
  }
  if (!out.Close()) return Failed(result, destination, SystemErrorText(out.LastError()));
  result.outcome = JobOutcome::kCompleted;
  return result;
}

}  // namespace partwell
